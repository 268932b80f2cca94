package com.vantrel.runtime.launcher;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;

/**
 * What both launcher classes' {@code main} do: take the launcher's array
 * apart, redirect the standard streams, start the service stop reader in a
 * service child and tell the application its service name (system property
 * "vantrel.serviceName"), then run the application's main class on this
 * thread.
 *
 * <p>Every failure leaves as an exception, so that the native launcher finds
 * it pending after {@code main} and ends with exit code 1: an exception from
 * the application's main is rethrown as it is (not wrapped in an
 * InvocationTargetException), a missing class gives ClassNotFoundException,
 * a missing or unusable main method NoSuchMethodException.
 */
public final class ApplicationStarter {
    private ApplicationStarter() {
    }

    public static void start(String[] launcherArguments) throws Throwable {
        LaunchArguments arguments = LaunchArguments.parse(launcherArguments);
        Redirection.apply(arguments.getErrorFile(), arguments.getOutputFile());
        ServiceStopReader.startIfService();
        if (arguments.getServiceName() != null) {
            System.setProperty(LaunchArguments.SERVICE_NAME_PROPERTY, arguments.getServiceName());
        }
        Method main = findMain(arguments.getMainClassName());
        try {
            main.invoke(null, (Object) arguments.getApplicationArguments());
        } catch (InvocationTargetException e) {
            throw e.getCause() != null ? e.getCause() : e;
        } finally {
            System.out.flush();
            System.err.flush();
        }
    }

    static Method findMain(String className) throws ClassNotFoundException, NoSuchMethodException {
        Class<?> mainClass = Class.forName(className, false, ClassLoader.getSystemClassLoader());
        Method main = mainClass.getMethod("main", String[].class);
        int modifiers = main.getModifiers();
        if (!Modifier.isStatic(modifiers) || main.getReturnType() != void.class) {
            throw new NoSuchMethodException(className + ".main(String[]) must be public static void");
        }
        try {
            // As with the java command, a main method in a class that is not
            // public may still be called.
            main.setAccessible(true);
        } catch (RuntimeException e) {
            // then invoke reports the access problem itself
        }
        return main;
    }
}
