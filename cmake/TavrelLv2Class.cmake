# Adds "<URI> a lv2:<CLASS> ." to the plug-in description TTL that JUCE's LV2
# helper has just written (cmake -DTTL=... -DURI=... -DCLASS=... -P this file).
file(READ "${TTL}" description)
set(statement "<${URI}> a <http://lv2plug.in/ns/lv2core#${CLASS}> .")
string(FIND "${description}" "${statement}" found)
if(found EQUAL -1)
  file(APPEND "${TTL}" "\n${statement}\n")
endif()
