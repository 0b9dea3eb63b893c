# Boot-environment stand-ins: fw_printenv, fw_setenv, fw_printsys and fw_setsys for fwimg's
# tests and the demo. They are scripts run in place: put this folder first on PATH and name the
# store folder in BOOTENV_DIR (see bootenv/common.sh). Tests read BOOTENV_STANDIN_DIR.
set(BOOTENV_STANDIN_DIR ${CMAKE_CURRENT_LIST_DIR}/bootenv CACHE INTERNAL "boot-environment stand-ins")
