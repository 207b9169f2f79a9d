# Windows build: Release, optimised for size, linked statically so the exe imports only
# Windows' own DLLs.
add_compile_options(-Wall -Wextra)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
add_link_options(-static -static-libgcc -static-libstdc++)

# Windows-bound code of every subsystem; main.cpp stays out so tests can link it all.
add_library(tolbex_win STATIC)
target_link_libraries(tolbex_win PUBLIC tolbex_pure
    winhttp bcrypt shell32 ole32 uuid advapi32 user32 gdi32 comctl32 shlwapi)
