package com.morlin.runtime;

/**
 * The splash-screen settings the native launcher passed to
 * {@link WinLauncher#initAwtSplashConfig}, kept exactly as they arrived.
 * This runtime draws nothing; an application that shows a splash screen
 * reads them from {@link WinLauncher#getSplashConfig()}.
 */
public final class SplashConfig {
    /** One text line: the text and its position, then its colour text and two more numbers. */
    public static final class Line {
        private final String text;
        private final int x;
        private final int y;
        private final String colour;
        private final int colourValue1;
        private final int colourValue2;

        Line(String text, int x, int y, String colour, int colourValue1, int colourValue2) {
            this.text = text;
            this.x = x;
            this.y = y;
            this.colour = colour;
            this.colourValue1 = colourValue1;
            this.colourValue2 = colourValue2;
        }

        public String getText() {
            return text;
        }

        public int getX() {
            return x;
        }

        public int getY() {
            return y;
        }

        /** A colour text such as "0,0,0". */
        public String getColour() {
            return colour;
        }

        /** The first number passed after the colour, unchanged. */
        public int getColourValue1() {
            return colourValue1;
        }

        /** The second number passed after the colour, unchanged. */
        public int getColourValue2() {
            return colourValue2;
        }

        @Override
        public String toString() {
            return "[" + text + " " + x + "," + y + " " + colour + " " + colourValue1 + " " + colourValue2 + "]";
        }
    }

    private final boolean enabled;
    private final boolean setting;
    private final Line first;
    private final Line second;

    SplashConfig(boolean enabled, boolean setting, Line first, Line second) {
        this.enabled = enabled;
        this.setting = setting;
        this.first = first;
        this.second = second;
    }

    public boolean isEnabled() {
        return enabled;
    }

    /** The second boolean of the call, passed unchanged. */
    public boolean getSetting() {
        return setting;
    }

    public Line getFirstLine() {
        return first;
    }

    public Line getSecondLine() {
        return second;
    }

    @Override
    public String toString() {
        return "SplashConfig[" + enabled + " " + setting + " " + first + " " + second + "]";
    }
}
