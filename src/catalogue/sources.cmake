# sources of src/catalogue
target_sources(zarun_core PRIVATE
  catalogue/CatalogueNames.cpp catalogue/CatalogueNames.h
  catalogue/mIniFile.cpp catalogue/mIniFile.h
)
