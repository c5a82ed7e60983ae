# Reads kUnpackerImageSize and kUnpackerImageOffset out of archive/format.h, so the
# post-link steps and the C++ code can never disagree.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../archive/format.h _image_lines
     REGEX "constexpr unsigned kUnpacker(ImageSize|ImageOffset) = ")
foreach(_line IN LISTS _image_lines)
    if(_line MATCHES "kUnpackerImageSize = ([0-9]+)")
        set(DRAVNIK_IMAGE_SIZE ${CMAKE_MATCH_1})
    elseif(_line MATCHES "kUnpackerImageOffset = ([0-9]+)")
        set(DRAVNIK_IMAGE_OFFSET ${CMAKE_MATCH_1})
    endif()
endforeach()
if(NOT DRAVNIK_IMAGE_SIZE OR NOT DRAVNIK_IMAGE_OFFSET)
    message(FATAL_ERROR "cannot read the image constants from archive/format.h")
endif()
