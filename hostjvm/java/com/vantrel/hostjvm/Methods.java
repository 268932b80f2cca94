package com.vantrel.hostjvm;

import java.lang.reflect.Constructor;
import java.lang.reflect.Executable;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Deque;
import java.util.HashSet;
import java.util.List;
import java.util.Set;

/** Finds methods by name and JNI descriptor, the way GetMethodID and GetStaticMethodID do. */
final class Methods {
    private Methods() {
    }

    static String descriptor(Class<?> c) {
        if (c.isPrimitive()) {
            if (c == void.class) return "V";
            if (c == boolean.class) return "Z";
            if (c == byte.class) return "B";
            if (c == char.class) return "C";
            if (c == short.class) return "S";
            if (c == int.class) return "I";
            if (c == long.class) return "J";
            if (c == float.class) return "F";
            return "D";
        }
        if (c.isArray()) {
            return c.getName().replace('.', '/');
        }
        return "L" + c.getName().replace('.', '/') + ";";
    }

    static String descriptor(Executable e) {
        StringBuilder sb = new StringBuilder("(");
        for (Class<?> p : e.getParameterTypes()) {
            sb.append(descriptor(p));
        }
        sb.append(')');
        sb.append(e instanceof Method ? descriptor(((Method) e).getReturnType()) : "V");
        return sb.toString();
    }

    /** One letter per parameter: the primitive's letter, or L for any reference. */
    static String parameterKinds(Executable e) {
        StringBuilder sb = new StringBuilder();
        for (Class<?> p : e.getParameterTypes()) {
            sb.append(p.isPrimitive() ? descriptor(p) : "L");
        }
        return sb.toString();
    }

    static char returnKind(Executable e) {
        if (e instanceof Constructor) {
            return 'L';
        }
        Class<?> r = ((Method) e).getReturnType();
        return r.isPrimitive() ? descriptor(r).charAt(0) : 'L';
    }

    /**
     * The method or constructor named by name and descriptor, or null. Like
     * the VM, a static lookup searches the class and its superclasses, an
     * instance lookup also the interfaces; the first match by name and
     * descriptor decides, and it must agree in being static.
     */
    static Executable find(Class<?> c, String name, String sig, boolean isStatic) {
        if (name.equals("<init>")) {
            if (isStatic) return null;
            for (Constructor<?> k : c.getDeclaredConstructors()) {
                if (descriptor(k).equals(sig)) {
                    k.trySetAccessible();
                    return k;
                }
            }
            return null;
        }
        if (name.equals("<clinit>")) {
            return null;
        }
        Method found = null;
        for (Class<?> k = c; k != null && found == null; k = k.getSuperclass()) {
            found = declared(k, name, sig);
        }
        if (found == null && !isStatic) {
            found = inInterfaces(c, name, sig);
            if (found == null && c.isInterface()) {
                found = declared(Object.class, name, sig);
            }
        }
        if (found == null || Modifier.isStatic(found.getModifiers()) != isStatic) {
            return null;
        }
        if (!found.trySetAccessible() && !isStatic) {
            // Reflection cannot open some JDK-internal classes, but a call is
            // virtual anyway: an accessible declaration of the same method in
            // a supertype reaches the same override.
            Method open = accessibleDeclaration(c, name, sig);
            if (open != null) {
                return open;
            }
        }
        return found;
    }

    private static Method declared(Class<?> k, String name, String sig) {
        for (Method m : k.getDeclaredMethods()) {
            if (m.getName().equals(name) && descriptor(m).equals(sig)) {
                return m;
            }
        }
        return null;
    }

    private static Method inInterfaces(Class<?> c, String name, String sig) {
        for (Class<?> i : supertypes(c)) {
            if (i.isInterface()) {
                Method m = declared(i, name, sig);
                if (m != null && !Modifier.isStatic(m.getModifiers())) {
                    return m;
                }
            }
        }
        return null;
    }

    private static Method accessibleDeclaration(Class<?> c, String name, String sig) {
        for (Class<?> k : supertypes(c)) {
            Method m = declared(k, name, sig);
            if (m != null && !Modifier.isStatic(m.getModifiers()) && !Modifier.isPrivate(m.getModifiers())
                    && m.trySetAccessible()) {
                return m;
            }
        }
        return null;
    }

    /** The class, its superclasses and all their interfaces, nearest first. */
    private static List<Class<?>> supertypes(Class<?> c) {
        List<Class<?>> out = new ArrayList<>();
        Set<Class<?>> seen = new HashSet<>();
        Deque<Class<?>> queue = new ArrayDeque<>();
        queue.add(c);
        while (!queue.isEmpty()) {
            Class<?> k = queue.removeFirst();
            if (!seen.add(k)) continue;
            out.add(k);
            if (k.getSuperclass() != null) queue.add(k.getSuperclass());
            for (Class<?> i : k.getInterfaces()) queue.add(i);
        }
        return out;
    }
}
