# One interface target carries the language level, warnings and sanitizer
# flags, so every library, program and test is built the same way.
add_library(velsend_options INTERFACE)
target_compile_features(velsend_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)

if(MSVC)
    # The sources are UTF-8 with Chinese string literals.
    target_compile_options(velsend_options INTERFACE /W4 /utf-8 /permissive- /Zc:__cplusplus)
    target_compile_definitions(velsend_options INTERFACE NOMINMAX WIN32_LEAN_AND_MEAN)
else()
    target_compile_options(velsend_options INTERFACE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
        -Wcast-align -Wunused -Woverloaded-virtual -Wnull-dereference
        -Wimplicit-fallthrough -Wformat=2)
endif()
if(WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12's std::string inlined at -O3 trips a false -Wrestrict (GCC bug 105329).
    target_compile_options(velsend_options INTERFACE -Wno-restrict)
endif()
if(VELSEND_WERROR)
    target_compile_options(velsend_options INTERFACE $<IF:$<CXX_COMPILER_ID:MSVC>,/WX,-Werror>)
endif()

# Qt code may not turn char* into QString silently: every text the user sees
# is UTF-8 on our side and GBK only in the project files.
target_compile_definitions(velsend_options INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_FOREACH QT_NO_KEYWORDS)

if(VELSEND_SANITIZE)
    target_compile_options(velsend_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(velsend_options INTERFACE -fsanitize=address,undefined)
endif()

if(VELSEND_FUZZ)
    # Every library the fuzz targets link is instrumented for coverage.
    target_compile_options(velsend_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
