"""TolbexSetup.exe, read from its own PE headers: linked statically, so its import table
names only Windows' own DLLs, and a GUI program whose entry is MinGW's wide-character start."""
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


def objdump(exe, option):
    return subprocess.run(["x86_64-w64-mingw32-objdump", option, str(exe)], capture_output=True,
                          text=True, check=True).stdout


def header_number(headers, name):
    return int(re.search(rf"^{name}\s+([0-9a-fA-F]+)", headers, re.MULTILINE).group(1), 16)


class ExeImports(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        exe = Build().setup
        cls.headers = objdump(exe, "-p")
        cls.sections = objdump(exe, "-h")

    def test_imports_only_windows_system_dlls(self):
        dlls = sorted({m.lower() for m in re.findall(r"DLL Name: (\S+)", self.headers)})
        self.assertTrue(dlls, "no import table found")
        self.assertEqual([d for d in dlls if d not in SYSTEM_DLLS], [], f"imports: {dlls}")

    def test_is_a_gui_program_with_unicode_entry(self):
        self.assertEqual(header_number(self.headers, "Subsystem"), 2)  # Windows GUI
        # The entry point lies in the code section.
        entry = header_number(self.headers, "ImageBase") + header_number(self.headers,
                                                                         "AddressOfEntryPoint")
        size, start = (int(v, 16) for v in re.search(
            r"^\s*\d+\s+\.text\s+([0-9a-f]+)\s+([0-9a-f]+)", self.sections, re.MULTILINE).groups())
        self.assertTrue(start <= entry < start + size, f"entry {entry:#x}, .text {start:#x}+{size:#x}")
        # MinGW's start code reads the command line with __wgetmainargs for wWinMain
        # (-municode) and with __getmainargs for the 8-bit WinMain.
        imported = set(re.findall(r"^\t[0-9a-f]+\t\s*\d+\s+(\S+)$", self.headers, re.MULTILINE))
        self.assertEqual({"__wgetmainargs", "__getmainargs"} & imported, {"__wgetmainargs"})


if __name__ == "__main__":
    unittest.main()
