package com.vantrel.runtime.launcher;

/**
 * Launcher class of the vantrel family: the native launcher calls its
 * {@code main} with the array that {@link LaunchArguments} describes.
 */
public final class WinLauncher {
    private WinLauncher() {
    }

    /**
     * Starts the application and returns when the application's main has
     * returned. See {@link ApplicationStarter} for how failures leave.
     */
    public static void main(String[] args) throws Throwable {
        ApplicationStarter.start(args);
    }
}
