package com.vantrel.runtime.launcher;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;

/**
 * The first-run step. The native launcher calls {@link #firstRun()} before
 * the application when the marker file ".vantrel\firstrun" exists; true lets
 * the launch go on, false ends it with exit code 0, and an exception ends it
 * with exit code 1 once the VM has shut down. The launcher never creates or
 * removes the marker, and neither does this class.
 *
 * <p>This runtime does the least that is useful: when the system property
 * "vantrel.firstRunClass" names a class, that class's
 * {@code public static boolean firstRun()} is called and its answer
 * returned; exceptions it throws are passed on. Without the property the
 * answer is true.
 */
public final class FirstRun {
    /** Names the application's own first-run class. */
    public static final String CLASS_PROPERTY = "vantrel.firstRunClass";

    private FirstRun() {
    }

    public static boolean firstRun() throws Throwable {
        String className = System.getProperty(CLASS_PROPERTY, "").trim();
        if (className.isEmpty()) {
            return true;
        }
        Class<?> step = Class.forName(className, true, ClassLoader.getSystemClassLoader());
        Method method = step.getMethod("firstRun");
        if (!Modifier.isStatic(method.getModifiers()) || method.getReturnType() != boolean.class) {
            throw new NoSuchMethodException(className + ".firstRun() must be public static boolean");
        }
        try {
            return (Boolean) method.invoke(null);
        } catch (InvocationTargetException e) {
            throw e.getCause() != null ? e.getCause() : e;
        }
    }
}
