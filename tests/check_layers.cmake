# SPDX-License-Identifier: MIT
# Includes run one way: stream/ includes only itself; graphics/, text/ and
# highlight/ include stream/ and each other, never driver/; host/ includes
# only itself (and the boundary header, which comes in angle brackets).
# Usage: cmake -DSOURCE=<source dir> -P check_layers.cmake
cmake_minimum_required(VERSION 3.25)
set(allowed_stream stream)
set(allowed_graphics stream graphics text highlight)
set(allowed_text ${allowed_graphics})
set(allowed_highlight ${allowed_graphics})
set(allowed_host host)
set(wrong "")
foreach(folder stream graphics text highlight host)
    file(GLOB files RELATIVE ${SOURCE} ${SOURCE}/${folder}/*)
    foreach(file ${files})
        file(STRINGS ${SOURCE}/${file} includes REGEX "^#include \"")
        foreach(line ${includes})
            string(REGEX REPLACE "^#include \"([^/\"]*)/.*" "\\1" included "${line}")
            if(NOT included IN_LIST allowed_${folder})
                string(APPEND wrong "  ${file}: ${line}\n")
            endif()
        endforeach()
    endforeach()
endforeach()
if(wrong)
    message(FATAL_ERROR "includes against the layering:\n${wrong}")
endif()
