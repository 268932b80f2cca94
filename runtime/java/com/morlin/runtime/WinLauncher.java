package com.morlin.runtime;

import com.vantrel.runtime.launcher.ApplicationStarter;

/**
 * Launcher class of the morlin family, and for both families the receiver
 * of the splash-screen settings.
 */
public final class WinLauncher {
    private static volatile SplashConfig splashConfig;

    private WinLauncher() {
    }

    /**
     * Starts the application, exactly as the vantrel family's launcher
     * class does.
     */
    public static void main(String[] args) throws Throwable {
        ApplicationStarter.start(args);
    }

    /**
     * Called by the native launcher before {@code main} when the splash
     * screen is configured. The settings are only kept (see
     * {@link #getSplashConfig()}); nothing is drawn here.
     */
    public static void initAwtSplashConfig(boolean enabled, boolean setting,
            String text1, int x1, int y1, String colour1, int colour1Value1, int colour1Value2,
            String text2, int x2, int y2, String colour2, int colour2Value1, int colour2Value2) {
        splashConfig = new SplashConfig(enabled, setting,
                new SplashConfig.Line(text1, x1, y1, colour1, colour1Value1, colour1Value2),
                new SplashConfig.Line(text2, x2, y2, colour2, colour2Value1, colour2Value2));
    }

    /** The settings of the last call, or null when the launcher made none. */
    public static SplashConfig getSplashConfig() {
        return splashConfig;
    }
}
