"""TolbexSetup.exe is linked statically: its import table names only Windows' own DLLs."""
import re
import subprocess
import unittest

from harness import Build

# DLLs that every supported Windows ships in System32.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
    "oleaut32.dll", "comctl32.dll", "comdlg32.dll", "shlwapi.dll", "winhttp.dll", "bcrypt.dll",
    "crypt32.dll", "msvcrt.dll", "ntdll.dll", "uxtheme.dll", "version.dll", "ws2_32.dll",
}


def imported_dlls(exe):
    out = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(exe)], capture_output=True,
                         text=True, check=True).stdout
    return sorted({m.lower() for m in re.findall(r"DLL Name: (\S+)", out)})


class ExeImports(unittest.TestCase):
    def test_imports_only_windows_system_dlls(self):
        dlls = imported_dlls(Build().setup)
        self.assertTrue(dlls, "no import table found")
        self.assertEqual([d for d in dlls if d not in SYSTEM_DLLS], [], f"imports: {dlls}")
        for runtime in ("libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll"):
            self.assertNotIn(runtime, dlls)

    def test_is_a_gui_program_with_unicode_entry(self):
        out = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(Build().setup)],
                             capture_output=True, text=True, check=True).stdout
        self.assertRegex(out, r"Subsystem\s+0+2\s+\(Windows GUI\)")
        symbols = subprocess.run(["x86_64-w64-mingw32-nm", str(Build().path("CMakeFiles/TolbexSetup.dir/src/app/main.cpp.obj"))],
                                 capture_output=True, text=True).stdout
        self.assertIn("wWinMain", symbols)


if __name__ == "__main__":
    unittest.main()
