"""The Windows width a test run exercises, and how its programs are run.

VTL_TEST_WIDTH picks it:
  x86_64 (the default)  the x86_64 tree under wine64, prefix build/wineprefix;
  i686                  the i686 tree, the product, under 32-bit Wine in the
                        chroot of scripts/setup32.sh (through qemu-i386),
                        prefix build/wineprefix32.
Tests take everything width-specific from here (the tree, the bit count, the
build of the other width that plays a runtime of the wrong width), so one
test serves both widths. WINEPREFIX, when set, names the prefix of the width
under test."""
import os
import subprocess
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
WIDTH = os.environ.get("VTL_TEST_WIDTH", "x86_64")
if WIDTH not in ("x86_64", "i686"):
    raise RuntimeError(f"VTL_TEST_WIDTH must be x86_64 or i686, not {WIDTH!r}")
IS_32 = WIDTH == "i686"
BITS = 32 if IS_32 else 64
OTHER_WIDTH = "x86_64" if IS_32 else "i686"

BUILD64 = Path(os.environ.get("VTL_BUILD_WIN64", ROOT / "build" / "win64")).resolve()
BUILD32 = Path(os.environ.get("VTL_BUILD_WIN32", ROOT / "build" / "win32")).resolve()
# The tree whose programs are under test, and the one of the other width.
BUILD = BUILD32 if IS_32 else BUILD64
FOREIGN_BUILD = BUILD64 if IS_32 else BUILD32

# Through the wrapper that turns off address randomisation, without which
# about one wine64 start in several thousand fails (scripts/wine64).
WINE64 = str(ROOT / "scripts" / "wine64")
WINE32 = str(ROOT / "scripts" / "wine32")
# The command that runs a Windows program of the width under test.
WINE = [WINE32] if IS_32 else [WINE64]
PREFIX = Path(os.environ.get("WINEPREFIX", ROOT / "build" / ("wineprefix32" if IS_32 else "wineprefix")))
# The objdump that reads this width's executables.
OBJDUMP = "i686-w64-mingw32-objdump" if IS_32 else "x86_64-w64-mingw32-objdump"


def winpath(path):
    """The Wine (Z: drive) form of a Unix path. The 32-bit Wine sees /tmp
    and the clone at the same paths, so the form is the same for both."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def start_wine(env=None):
    """Starts the prefix's wineserver and services with nothing attached to
    any caller's pipes (see scripts/wine-env.sh)."""
    function = "wine32_start" if IS_32 else "wine_start"
    subprocess.run(["bash", "-c", f"source '{ROOT}/scripts/wine-env.sh' && {function}"],
                   env={**os.environ, **(env or {}), "WINEPREFIX": str(PREFIX)}, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)


# qemu-i386 10 now and then dies in a 32-bit program whose threads are still
# being ended as it exits, after its work is done. Only that, recognised by
# this line on standard error, may be run again; nothing else is hidden.
QEMU_FAULT = "qemu: uncaught target signal 11 (Segmentation fault)"


def emulator_fault(rc, err):
    return IS_32 and rc in (-11, 139) and QEMU_FAULT in err
