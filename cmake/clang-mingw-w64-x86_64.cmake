# 64-bit Windows (x64) with Clang over the MinGW-w64 GCC installation: its headers and
# import libraries (the sysroot), GCC's libstdc++ headers, libgcc and start files, and
# the MinGW binutils for archives and resources. Clang's own search for that GCC does not
# understand Debian's version folders (12-win32), so they are named here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${mingw_triple})
set(CMAKE_CXX_COMPILER_TARGET ${mingw_triple})
set(CMAKE_SYSROOT /usr/${mingw_triple})
set(CMAKE_AR ${mingw_triple}-ar CACHE FILEPATH "archiver")
set(CMAKE_RANLIB ${mingw_triple}-ranlib CACHE FILEPATH "archive indexer")
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

# GCC's library folder, e.g. /usr/lib/gcc/x86_64-w64-mingw32/12-win32.
execute_process(
    COMMAND ${mingw_triple}-gcc -print-libgcc-file-name
    OUTPUT_VARIABLE mingw_libgcc
    OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE mingw_gcc_result)
if(NOT mingw_gcc_result EQUAL 0 OR NOT IS_ABSOLUTE "${mingw_libgcc}")
    message(FATAL_ERROR "${mingw_triple}-gcc is needed for libgcc and libstdc++")
endif()
get_filename_component(mingw_gcc_dir "${mingw_libgcc}" DIRECTORY)

set(mingw_cxx_include ${mingw_gcc_dir}/include/c++)
# In place of the C++ library folders that Clang would guess (some of them relative).
set(CMAKE_CXX_FLAGS_INIT "-stdlib++-isystem ${mingw_cxx_include} -stdlib++-isystem ${mingw_cxx_include}/${mingw_triple} -stdlib++-isystem ${mingw_cxx_include}/backward")
# -B finds crtbegin.o and crtend.o, -L libgcc and libstdc++; lld links.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -B${mingw_gcc_dir}/ -L${mingw_gcc_dir}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${CMAKE_EXE_LINKER_FLAGS_INIT}")

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
