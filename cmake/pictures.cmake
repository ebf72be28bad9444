# The three pictures the saver reads from c:\zelvodata\ are made at build
# time by tools/make_pictures.py into <build>/pictures; tests install them
# into their Wine prefix from there (wine-run.sh --pictures).
set(SAVER_PYTHON /usr/bin/python3 CACHE FILEPATH "Python 3 that runs the picture generator")
set(SAVER_PICTURES_DIR ${CMAKE_BINARY_DIR}/pictures)
set(SAVER_PICTURE_FILES
    ${SAVER_PICTURES_DIR}/cloud.bmp
    ${SAVER_PICTURES_DIR}/stars.bmp
    ${SAVER_PICTURES_DIR}/quad.bmp)
add_custom_command(
  OUTPUT ${SAVER_PICTURE_FILES}
  COMMAND ${SAVER_PYTHON} ${CMAKE_SOURCE_DIR}/tools/make_pictures.py ${SAVER_PICTURES_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_pictures.py
  COMMENT "Making the scene pictures"
  VERBATIM)
add_custom_target(pictures ALL DEPENDS ${SAVER_PICTURE_FILES})
