# sw.js from its template: the site's files, and a cache name from a hash of their contents,
# so that a browser which has the page offline takes a new build as a whole.
# cmake -DSITE=<folder> -DTEMPLATE=<sw.js.in> -DFILES=<a;b;...> -P make_service_worker.cmake
set(contents "")
set(listed "'./'")
foreach(file IN LISTS FILES)
  file(SHA256 ${SITE}/${file} hash)
  string(APPEND contents "${file} ${hash}\n")
  string(APPEND listed ", '${file}'")
endforeach()
string(SHA256 SITE_HASH "${contents}")
string(SUBSTRING ${SITE_HASH} 0 16 SITE_HASH)
set(SITE_FILES ${listed})
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)
