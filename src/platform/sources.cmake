# sources of src/platform
target_sources(zarun_core PRIVATE
  platform/FileSystem.cpp platform/FileSystem.h
  platform/IniDocument.cpp platform/IniDocument.h
  platform/IniStore.cpp platform/IniStore.h
  platform/PathStyle.h
  platform/ProgramFolder.cpp platform/ProgramFolder.h
  platform/TextCodec.cpp platform/TextCodec.h
)
