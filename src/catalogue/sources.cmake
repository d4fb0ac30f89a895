# sources of src/catalogue
target_sources(zarun_core PRIVATE
  catalogue/CatalogueChanges.cpp catalogue/CatalogueChanges.h
  catalogue/CatalogueFile.cpp catalogue/CatalogueFile.h
  catalogue/CatalogueLock.cpp catalogue/CatalogueLock.h
  catalogue/CatalogueMirror.cpp catalogue/CatalogueMirror.h
  catalogue/CatalogueWatch.cpp catalogue/CatalogueWatch.h
  catalogue/CatalogueModels.cpp catalogue/CatalogueModels.h
  catalogue/LookCache.cpp catalogue/LookCache.h
  catalogue/ProjectGroup.cpp catalogue/ProjectGroup.h
  catalogue/ProjectReader.cpp catalogue/ProjectReader.h
  catalogue/ProjectReferences.cpp catalogue/ProjectReferences.h
  catalogue/ProjectFilter.cpp catalogue/ProjectFilter.h
  catalogue/SearchIndex.cpp catalogue/SearchIndex.h
  catalogue/ProjectScan.cpp catalogue/ProjectScan.h
  catalogue/ProjectStatus.cpp catalogue/ProjectStatus.h
  catalogue/ReferenceCheck.cpp catalogue/ReferenceCheck.h
  catalogue/ReferenceTable.cpp catalogue/ReferenceTable.h
  catalogue/SourceList.cpp catalogue/SourceList.h
  catalogue/FolderWatch.cpp catalogue/FolderWatch.h
  catalogue/CatalogueNames.cpp catalogue/CatalogueNames.h
  catalogue/cVbAnalyze.cpp catalogue/cVbAnalyze.h
  catalogue/NameRules.cpp catalogue/NameRules.h
  catalogue/mIniFile.cpp catalogue/mIniFile.h
)
