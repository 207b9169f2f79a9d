# Windows build: Release, optimised for size, linked statically so the exe imports only
# Windows' own DLLs.
add_compile_options(-Wall -Wextra -ffunction-sections -fdata-sections)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
add_link_options(-static -static-libgcc -static-libstdc++)

# The Windows libraries each subsystem links against.
set(TOLBEX_WIN_LIBS winhttp bcrypt shell32 ole32 uuid advapi32 user32 gdi32 comctl32 shlwapi)
