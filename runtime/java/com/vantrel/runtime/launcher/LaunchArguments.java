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
 *
 * <p>In a service child (system property "morlin.isService" is "true") the
 * service process starts the launcher with the service name as its first
 * argument, so element 5 is that name and not an argument of the
 * application: it is taken off here ({@link #getServiceName()}) and the
 * application gets the elements after it. Servers with a strict command
 * line would otherwise refuse to start as a service.
 */
public final class LaunchArguments {
    /** Number of leading elements that belong to the launcher. */
    public static final int LAUNCHER_ELEMENTS = 5;
    /** The system property that tells a service's application its service name. */
    public static final String SERVICE_NAME_PROPERTY = "vantrel.serviceName";

    private static volatile LaunchArguments current;

    private final boolean guiType;
    private final String mainClassName;
    private final String errorFile;
    private final String outputFile;
    private final boolean runtimeFlag;
    private final String serviceName;
    private final String[] applicationArguments;

    private LaunchArguments(String[] args, boolean serviceChild) {
        guiType = "true".equals(args[0]);
        mainClassName = args[1] == null ? "" : args[1].trim().replace('/', '.');
        errorFile = args[2] == null ? "" : args[2];
        outputFile = args[3] == null ? "" : args[3];
        runtimeFlag = "true".equals(args[4]);
        int first = LAUNCHER_ELEMENTS;
        if (serviceChild && args.length > first) {
            serviceName = args[first] == null ? "" : args[first];
            first++;
        } else {
            serviceName = null;
        }
        applicationArguments = Arrays.copyOfRange(args, first, args.length);
    }

    /**
     * Parses the launcher's array; in a service child (system property
     * "morlin.isService" is "true") element 5 is the service name. Fewer
     * than five elements, or no main class, is a launcher fault and is
     * reported as an IllegalArgumentException.
     */
    public static LaunchArguments parse(String[] args) {
        if (args == null || args.length < LAUNCHER_ELEMENTS) {
            int count = args == null ? 0 : args.length;
            throw new IllegalArgumentException("vtlruntime: expected at least " + LAUNCHER_ELEMENTS
                    + " launcher arguments, got " + count);
        }
        boolean serviceChild = "true".equals(System.getProperty(ServiceStopReader.SERVICE_PROPERTY));
        LaunchArguments parsed = new LaunchArguments(args, serviceChild);
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

    /**
     * The service name in a service child, or null in any other run. The
     * service process always passes it; only a service child started by
     * hand without arguments has none.
     */
    public String getServiceName() {
        return serviceName;
    }

    /** What the application's main receives: without the service name. */
    public String[] getApplicationArguments() {
        return applicationArguments.clone();
    }
}
