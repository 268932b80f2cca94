"""Fixtures for the stand-in runtime's self-tests."""
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))
import hostjvm_harness as harness  # noqa: E402


@pytest.fixture(scope="session")
def hostjvm():
    missing = [p for p in (harness.HOME / "bin" / "java.exe", harness.HOME / "bin" / "server" / "jvm.dll",
                           harness.HOME / "bin" / "server" / "vtlhostjvm.jar",
                           harness.HOME / "bin" / "server" / "vtl-hostjava", harness.DRIVER, harness.TESTAPP)
               if not p.exists()]
    if missing:
        pytest.fail(f"stand-in runtime not built (missing {missing}); build the x86_64 Windows tree first")
    harness.start_wineserver()
    return harness
