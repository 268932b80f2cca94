package com.vantrel.runtime.launcher;

import java.util.Arrays;

/**
 * The String[] that the native launcher hands to a launcher class's
 * {@code main}, taken apart.
 *
 * <p>Layout, positions counted from 0:
 * <ol start="0">
 *   <li>"true" when the executable is the graphical type, else "false";</li>
 *   <li>the application's main class, dotted form ("/" is accepted too);</li>
 *   <li>the file for the standard error stream, "" for none;</li>
 *   <li>the file for the standard output stream, "" for none;</li>
 *   <li>"true" or "false": a launcher flag this runtime keeps but does not
 *       act on;</li>
 * </ol>
 * followed by the application's own arguments, passed on unchanged.
 */
public final class LaunchArguments {
    /** Number of leading elements that belong to the launcher. */
    public static final int LAUNCHER_ELEMENTS = 5;

    private static volatile LaunchArguments current;

    private final boolean guiType;
    private final String mainClassName;
    private final String errorFile;
    private final String outputFile;
    private final boolean runtimeFlag;
    private final String[] applicationArguments;

    private LaunchArguments(String[] args) {
        guiType = "true".equals(args[0]);
        mainClassName = args[1] == null ? "" : args[1].trim().replace('/', '.');
        errorFile = args[2] == null ? "" : args[2];
        outputFile = args[3] == null ? "" : args[3];
        runtimeFlag = "true".equals(args[4]);
        applicationArguments = Arrays.copyOfRange(args, LAUNCHER_ELEMENTS, args.length);
    }

    /**
     * Parses the launcher's array. Fewer than five elements, or no main class,
     * is a launcher fault and is reported as an IllegalArgumentException.
     */
    public static LaunchArguments parse(String[] args) {
        if (args == null || args.length < LAUNCHER_ELEMENTS) {
            int count = args == null ? 0 : args.length;
            throw new IllegalArgumentException("vtlruntime: expected at least " + LAUNCHER_ELEMENTS
                    + " launcher arguments, got " + count);
        }
        LaunchArguments parsed = new LaunchArguments(args);
        if (parsed.mainClassName.isEmpty()) {
            throw new IllegalArgumentException("vtlruntime: no main class given");
        }
        current = parsed;
        return parsed;
    }

    /** The arguments of the running launch, or null before main was called. */
    public static LaunchArguments current() {
        return current;
    }

    public boolean isGuiType() {
        return guiType;
    }

    public String getMainClassName() {
        return mainClassName;
    }

    public String getErrorFile() {
        return errorFile;
    }

    public String getOutputFile() {
        return outputFile;
    }

    /** Element 4; kept for the application, this runtime does not act on it. */
    public boolean getRuntimeFlag() {
        return runtimeFlag;
    }

    public String[] getApplicationArguments() {
        return applicationArguments.clone();
    }
}
