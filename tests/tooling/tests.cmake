# The stand-in IDE: writes the executable on "<project> /make", its messages on "/out <log>",
# records every call; the environment makes a build fail, wait or ignore SIGTERM.
add_executable(zarun_fake_ide tooling/fake_ide.cpp)

# Gives a test the stand-in IDE and the MIME definitions (tests/common/FakeIdeEnvironment.h).
function(zarun_use_fake_ide target)
  add_dependencies(${target} zarun_fake_ide)
  target_compile_definitions(${target} PRIVATE
    ZARUN_FAKE_IDE="$<TARGET_FILE:zarun_fake_ide>"
    ZARUN_MIME_XML="${PROJECT_SOURCE_DIR}/packaging/zarun-mime.xml")
endfunction()

zarun_add_test(tst_mFunction tooling zarun_core)
zarun_use_fake_ide(tst_mFunction)
zarun_add_test(tst_mMain tooling zarun_core)
zarun_use_fake_ide(tst_mMain)
zarun_add_test(tst_ProjectActions tooling zarun_core)
zarun_use_fake_ide(tst_ProjectActions)
zarun_add_test(tst_fMessage tooling zarun_ui)
zarun_add_test(tst_AssociationFallback tooling zarun_core)
zarun_use_fake_ide(tst_AssociationFallback)
zarun_add_test(tst_IdeCommand tooling zarun_core)
zarun_add_test(tst_WineAssociation tooling zarun_core)
zarun_use_fake_ide(tst_WineAssociation)
zarun_add_test(tst_BuildQueue tooling zarun_core)
zarun_use_fake_ide(tst_BuildQueue)
zarun_add_test(tst_BuildOrder tooling zarun_core)
