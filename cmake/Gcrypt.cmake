# libgcrypt as the target Gcrypt::Gcrypt: Debian's pkg-config file on Linux;
# for Windows its static archives, so no libgcrypt DLL travels with the programs.
if(TARGET Gcrypt::Gcrypt)
  return()
endif()
if(WIN32)
  find_path(GCRYPT_INCLUDE_DIR gcrypt.h REQUIRED)
  find_library(GCRYPT_ARCHIVE libgcrypt.a REQUIRED)
  find_library(GPG_ERROR_ARCHIVE libgpg-error.a REQUIRED)
  add_library(Gcrypt::Gcrypt INTERFACE IMPORTED GLOBAL)
  set_target_properties(Gcrypt::Gcrypt PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${GCRYPT_INCLUDE_DIR}
    INTERFACE_LINK_LIBRARIES "${GCRYPT_ARCHIVE};${GPG_ERROR_ARCHIVE};ws2_32")
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(GCRYPT REQUIRED IMPORTED_TARGET GLOBAL libgcrypt)
  add_library(Gcrypt::Gcrypt ALIAS PkgConfig::GCRYPT)
endif()
