find_program(VELMORA_CCACHE ccache)
if(VELMORA_CCACHE)
    set(CMAKE_CXX_COMPILER_LAUNCHER ${VELMORA_CCACHE})
endif()

# One INTERFACE target carries the language standard, the warnings and Qt's strictness
# switches, so every target of ours is built the same way.
add_library(velmora_options INTERFACE)
target_compile_features(velmora_options INTERFACE cxx_std_20)
target_compile_options(velmora_options INTERFACE -Wall -Wextra -Wpedantic)
if(VELMORA_WERROR)
    target_compile_options(velmora_options INTERFACE -Werror)
endif()
target_compile_definitions(velmora_options INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_FOREACH)
if(VELMORA_SANITIZE)
    target_compile_options(velmora_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(velmora_options INTERFACE -fsanitize=address,undefined)
endif()
