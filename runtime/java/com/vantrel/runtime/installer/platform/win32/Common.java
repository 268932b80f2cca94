package com.vantrel.runtime.installer.platform.win32;

/**
 * Set-up of the helper library's Java side. The native launcher (vantrel
 * family) calls {@link #initFromLauncher(boolean)} with true before it asks
 * vtlinst.dll to register its natives, and again with false when that
 * failed. The helper library registers no natives at present, so all this
 * class does is remember the last flag for the application to read.
 */
public final class Common {
    private static volatile boolean initialisedFromLauncher;
    private static volatile int launcherCalls;

    private Common() {
    }

    public static void initFromLauncher(boolean helperLibraryExpected) {
        initialisedFromLauncher = helperLibraryExpected;
        launcherCalls++;
    }

    /** The flag of the launcher's last call; false when it never called. */
    public static boolean isInitialisedFromLauncher() {
        return initialisedFromLauncher;
    }

    /** How often the launcher called; 0 outside the native launcher. */
    public static int getLauncherCalls() {
        return launcherCalls;
    }
}
