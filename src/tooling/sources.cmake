# sources of src/tooling
target_sources(zarun_core PRIVATE
  tooling/UserInterface.cpp tooling/UserInterface.h
)
