# The product configuration and the program's one version number.
#
# MinSizeRel is the product: optimised for size, each function and object in a section of its own so that the linker
# drops whatever nothing calls, and stripped. Every other build type is a test build (Debug by default, natively
# under the sanitizers).
set(PIGEONET_PRODUCT OFF)
if(CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
    set(PIGEONET_PRODUCT ON)
    add_compile_options(-ffunction-sections -fdata-sections)
    add_link_options(-Wl,--gc-sections -s)
endif()

# The version is set once, by project() in CMakeLists.txt. From there it reaches the version resource, the settings
# dialog and `pigeonet-probe --version` (pigeonet_version.h), the manifest, and the package names of `make dist`
# (the file pigeonet-version in the build tree).
set(PIGEONET_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(PIGEONET_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
configure_file(${CMAKE_SOURCE_DIR}/cmake/pigeonet_version.h.in ${PIGEONET_GENERATED_DIR}/pigeonet_version.h @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/src/app/pigeonet.manifest ${PIGEONET_GENERATED_DIR}/pigeonet.exe.manifest @ONLY)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/pigeonet-version CONTENT "${PROJECT_VERSION}\n")
# The resource compiler's scan does not see the files a resource script names.
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/app/pigeonet.rc PROPERTIES OBJECT_DEPENDS
    "${PIGEONET_GENERATED_DIR}/pigeonet_version.h;${PIGEONET_GENERATED_DIR}/pigeonet.exe.manifest")
