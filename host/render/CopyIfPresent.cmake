# Copies each of FILES ("|"-separated, relative to FROM) into TO when it exists.
string(REPLACE "|" ";" FILES "${FILES}")
file(MAKE_DIRECTORY ${TO})
foreach(f ${FILES})
  if(EXISTS ${FROM}/${f})
    get_filename_component(name ${f} NAME)
    file(COPY_FILE ${FROM}/${f} ${TO}/${name} ONLY_IF_DIFFERENT)
  endif()
endforeach()
