package com.vantrel.hostjvm;

import java.util.Arrays;
import java.util.Collections;
import java.util.IdentityHashMap;
import java.util.Set;

/**
 * Removes the bridge's own frames from exceptions raised by forwarded calls,
 * so a stack trace ends where it would in a VM running inside the launcher:
 * at the called Java method, not in reflection and the server loop.
 */
final class Traces {
    private Traces() {
    }

    /**
     * Cuts, from the bottom of each trace in the exception's chain, the
     * frames that equal the caller's own stack, and then the reflection and
     * class-loading frames directly above them. Traces that do not end in
     * the caller's stack (an exception made on another thread) stay whole.
     */
    static Throwable trim(Throwable t) {
        StackTraceElement[] here = new Throwable().getStackTrace();
        StackTraceElement[] base = Arrays.copyOfRange(here, Math.min(1, here.length), here.length);
        Set<Throwable> seen = Collections.newSetFromMap(new IdentityHashMap<>());
        trimChain(t, base, seen);
        return t;
    }

    /** Exceptions the bridge raises itself carry no frames, as those of the VM do. */
    static <T extends Throwable> T withoutFrames(T t) {
        t.setStackTrace(new StackTraceElement[0]);
        return t;
    }

    private static void trimChain(Throwable t, StackTraceElement[] base, Set<Throwable> seen) {
        if (t == null || !seen.add(t)) {
            return;
        }
        trimOne(t, base);
        trimChain(t.getCause(), base, seen);
        for (Throwable s : t.getSuppressed()) {
            trimChain(s, base, seen);
        }
    }

    private static void trimOne(Throwable t, StackTraceElement[] base) {
        StackTraceElement[] trace = t.getStackTrace();
        if (trace.length < base.length || base.length == 0) {
            return;
        }
        int offset = trace.length - base.length;
        for (int i = 0; i < base.length; i++) {
            if (!sameMethod(trace[offset + i], base[i])) {
                return;
            }
        }
        int end = offset;
        while (end > 0 && isPlumbing(trace[end - 1].getClassName())) {
            end--;
        }
        t.setStackTrace(Arrays.copyOf(trace, end));
    }

    private static boolean sameMethod(StackTraceElement a, StackTraceElement b) {
        return a.getClassName().equals(b.getClassName()) && a.getMethodName().equals(b.getMethodName());
    }

    private static boolean isPlumbing(String className) {
        return className.startsWith("jdk.internal.reflect.") || className.startsWith("java.lang.reflect.")
                || className.startsWith("java.lang.invoke.") || className.equals("java.lang.Class");
    }
}
