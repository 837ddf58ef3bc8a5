# `cpack -G DEB` in the build folder makes a package that apt installs with its dependencies:
# dpkg-shlibdeps reads them off the linked libraries.
set(CPACK_PACKAGE_NAME quillmarkbox)
set(CPACK_PACKAGE_VENDOR "Quillmarkbox")
set(CPACK_PACKAGE_CONTACT "Quillmarkbox developers <dev@quillmarkbox.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded when the first request is made, so dpkg-shlibdeps does not see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4")
# Chinese captions need a CJK font; Qt's own dialogs speak Chinese with its translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-zenhei, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Fast IIS access log analyser with crawler statistics
 Opens a day of IIS access logs in a blink, filters, searches and sorts every request,
 names and verifies search-engine crawlers, and carries small webmaster tools.")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
