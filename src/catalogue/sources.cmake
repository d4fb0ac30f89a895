# sources of src/catalogue
target_sources(zarun_core PRIVATE
  catalogue/CatalogueFile.cpp catalogue/CatalogueFile.h
  catalogue/CatalogueSnapshot.cpp catalogue/CatalogueSnapshot.h
  catalogue/CatalogueNames.cpp catalogue/CatalogueNames.h
  catalogue/cVbAnalyze.cpp catalogue/cVbAnalyze.h
  catalogue/NameRules.cpp catalogue/NameRules.h
  catalogue/mIniFile.cpp catalogue/mIniFile.h
)
