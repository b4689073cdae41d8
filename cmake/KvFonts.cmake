# The platform's fontconfig alias file is compiled into the platform library (see
# platform/src/gdi_fonts.cpp), so that a program finds its face names wherever it runs.
set(KV_FONT_ALIASES_FILE ${PROJECT_SOURCE_DIR}/platform/fonts/kv-fonts.conf)
set_property(SOURCE ${PROJECT_SOURCE_DIR}/platform/src/gdi_fonts.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS KV_FONT_ALIASES_FILE="${KV_FONT_ALIASES_FILE}")
set_property(SOURCE ${PROJECT_SOURCE_DIR}/platform/src/gdi_fonts.cpp APPEND PROPERTY
  OBJECT_DEPENDS ${KV_FONT_ALIASES_FILE})
