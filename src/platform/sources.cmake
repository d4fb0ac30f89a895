# sources of src/platform
target_sources(zarun_core PRIVATE
  platform/DesktopAssociation.cpp platform/DesktopAssociation.h
  platform/DirectoryEntry.cpp platform/DirectoryEntry.h
  platform/FileSystem.cpp platform/FileSystem.h
  platform/IniDocument.cpp platform/IniDocument.h
  platform/IniStore.cpp platform/IniStore.h
  platform/PathStyle.h
  platform/ProcessStart.cpp platform/ProcessStart.h
  platform/ProgramFolder.cpp platform/ProgramFolder.h
  platform/SingleInstance.cpp platform/SingleInstance.h
  platform/TextCodec.cpp platform/TextCodec.h
  platform/Trace.cpp platform/Trace.h
  platform/Twips.h
)
