# Windows build: Release, optimised for size, linked statically so the exe imports only
# Windows' own DLLs.
add_compile_options(-Wall -Wextra -ffunction-sections -fdata-sections)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
add_link_options(-static -static-libgcc -static-libstdc++)

# The Windows libraries each subsystem links against.
set(TOLBEX_WIN_LIBS winhttp bcrypt shell32 ole32 uuid advapi32 user32 gdi32 comctl32 shlwapi)

# Reproducible exe: the same commit and deployment give the same bytes whatever the build
# folder, the time or the umask. The linker writes no time stamp into the PE header,
# compiled-in file names (__FILE__, debug info before -s strips it) lose the source and
# build folders, and static archives get zero dates, owners and modes (ar D). The source
# map comes first: when several maps match, GCC takes the last one given, and the default
# build folder sits inside the source tree.
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>
                    $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>)
add_link_options(-Wl,--no-insert-timestamp)
foreach(lang C CXX)
    set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()
