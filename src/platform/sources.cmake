# sources of src/platform
target_sources(zarun_core PRIVATE
  platform/Backups.cpp platform/Backups.h
  platform/Centring.h
  platform/ChangeNotifier.cpp platform/ChangeNotifier.h
  platform/DesktopAssociation.cpp platform/DesktopAssociation.h
  platform/DirectoryEntry.cpp platform/DirectoryEntry.h
  platform/FileSystem.cpp platform/FileSystem.h
  platform/FontRendering.cpp platform/FontRendering.h
  platform/IniDocument.cpp platform/IniDocument.h
  platform/IniStore.cpp platform/IniStore.h
  platform/LockFile.cpp platform/LockFile.h
  platform/OffThread.cpp platform/OffThread.h
  platform/PathStyle.h
  platform/PrivateFolder.cpp platform/PrivateFolder.h
  platform/ProcessStart.cpp platform/ProcessStart.h
  platform/PrivateFile.cpp platform/PrivateFile.h
  platform/ProgramFolder.cpp platform/ProgramFolder.h
  platform/SingleInstance.cpp platform/SingleInstance.h
  platform/StoredText.cpp platform/StoredText.h
  platform/TerminationSignals.cpp platform/TerminationSignals.h
  platform/TextCodec.cpp platform/TextCodec.h
  platform/ThreadPriority.cpp platform/ThreadPriority.h
  platform/Trace.cpp platform/Trace.h
  platform/Twips.h
  platform/Wine.cpp platform/Wine.h
  platform/WineRegistry.cpp platform/WineRegistry.h
)
# An installed copy's folder is never written: the prefix it was installed under is one of the
# system trees.
set_source_files_properties(platform/ProgramFolder.cpp PROPERTIES
  COMPILE_DEFINITIONS "ZARUN_INSTALL_PREFIX=\"${CMAKE_INSTALL_PREFIX}\"")
