# sources of src/settings: ZARUN.ini's values, read at start-up and written at shut-down
target_sources(zarun_core PRIVATE
  settings/Settings.cpp settings/Settings.h
)
