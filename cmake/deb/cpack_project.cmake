# Read by cpack before it stages the packages: the version it packages, which may have been
# given on its command line, reaches the install rules that write each package's changelog.
set(CPACK_CUSTOM_INSTALL_VARIABLES "ZOD_DEB_VERSION=${CPACK_PACKAGE_VERSION}")
