package com.vantrel.hostjvm;

import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.IOException;
import java.lang.reflect.Array;
import java.lang.reflect.Constructor;
import java.lang.reflect.Executable;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.IdentityHashMap;
import java.util.List;
import java.util.Map;

/**
 * Executes forwarded JNI calls. References are numbers in a table, method
 * IDs numbers in another; the pending exception is kept here exactly as a
 * VM keeps it per thread. All of it is used from the server's main thread
 * only, the thread that stands for the launcher's main thread.
 */
final class JniOps {
    private final Map<Long, Object> refs = new HashMap<>();
    private long nextRef = 1;
    private final List<Executable> methods = new ArrayList<>();
    private final Map<Executable, Long> methodIds = new IdentityHashMap<>();
    private static final FileOutputStream RAW_ERR = new FileOutputStream(FileDescriptor.err);
    private Throwable pending;
    private boolean threw;
    private boolean destroyed;

    boolean destroyed() {
        return destroyed;
    }

    /** Runs one request and returns the reply. */
    byte[] execute(byte[] request) {
        threw = false;
        Wire.Writer body = new Wire.Writer();
        int flags;
        try {
            dispatch(new Wire.Reader(request), body);
            flags = (pending != null ? Wire.FLAG_PENDING : 0) | (threw ? Wire.FLAG_THREW : 0);
        } catch (Wire.Fault f) {
            return new Wire.Writer().u8(Wire.FLAG_FAULT).text(f.getMessage()).toByteArray();
        } catch (RuntimeException | Error e) {
            return new Wire.Writer().u8(Wire.FLAG_FAULT).text("internal error: " + e).toByteArray();
        }
        byte[] payload = body.toByteArray();
        Wire.Writer reply = new Wire.Writer().u8(flags);
        byte[] head = reply.toByteArray();
        byte[] out = new byte[head.length + payload.length];
        System.arraycopy(head, 0, out, 0, head.length);
        System.arraycopy(payload, 0, out, head.length, payload.length);
        return out;
    }

    private void dispatch(Wire.Reader in, Wire.Writer out) {
        int op = in.u8();
        switch (op) {
            case Wire.OP_INIT: init(in); break;
            case Wire.OP_FIND_CLASS: out.i64(findClass(in.bytes())); break;
            case Wire.OP_GET_METHOD: getMethod(in, out); break;
            case Wire.OP_CALL: call(in, out); break;
            case Wire.OP_GET_OBJECT_CLASS: out.i64(ref(nonNull(in.i64(), "GetObjectClass").getClass())); break;
            case Wire.OP_NEW_STRING_UTF: out.i64(ref(ModifiedUtf8.decode(in.bytes()))); break;
            case Wire.OP_NEW_STRING: out.i64(ref(new String(in.chars()))); break;
            case Wire.OP_GET_STRING_CHARS: out.chars(string(in.i64(), "GetStringChars")); break;
            case Wire.OP_GET_STRING_LENGTH: out.i32(string(in.i64(), "GetStringLength").length()); break;
            case Wire.OP_NEW_OBJECT_ARRAY: out.i64(newObjectArray(in.i32(), in.i64(), in.i64())); break;
            case Wire.OP_SET_ARRAY_ELEMENT: setArrayElement(in.i64(), in.i32(), in.i64()); break;
            case Wire.OP_GET_ARRAY_ELEMENT: out.i64(getArrayElement(in.i64(), in.i32())); break;
            case Wire.OP_GET_ARRAY_LENGTH: out.i32(Array.getLength(array(in.i64(), "GetArrayLength"))); break;
            case Wire.OP_DELETE_REF: deleteRef(in.i64()); break;
            case Wire.OP_EXCEPTION_OCCURRED: out.i64(ref(pending)); break;
            case Wire.OP_EXCEPTION_DESCRIBE: describe(); break;
            case Wire.OP_EXCEPTION_CLEAR: pending = null; break;
            case Wire.OP_THROW: pending = throwable(in.i64(), "Throw"); break;
            case Wire.OP_THROW_NEW: out.i32(throwNew(in)); break;
            case Wire.OP_DESTROY: destroyed = true; break;
            case Wire.OP_EXCEPTION_CHECK: break;
            case Wire.OP_NEW_REF: out.i64(ref(object(in.i64()))); break;
            case Wire.OP_IS_SAME_OBJECT: out.u8(object(in.i64()) == object(in.i64()) ? 1 : 0); break;
            default: throw new Wire.Fault("unknown operation " + op);
        }
    }

    // ---- references

    private long ref(Object o) {
        if (o == null) return 0;
        long h = nextRef++;
        refs.put(h, o);
        return h;
    }

    private Object object(long h) {
        if (h == 0) return null;
        Object o = refs.get(h);
        if (o == null) {
            throw new Wire.Fault("invalid reference " + h + " (deleted or never created)");
        }
        return o;
    }

    private Object nonNull(long h, String what) {
        Object o = object(h);
        if (o == null) throw new Wire.Fault(what + ": null reference");
        return o;
    }

    private String string(long h, String what) {
        Object o = nonNull(h, what);
        if (!(o instanceof String)) throw new Wire.Fault(what + ": reference is not a string but " + o.getClass().getName());
        return (String) o;
    }

    private Class<?> klass(long h, String what) {
        Object o = nonNull(h, what);
        if (!(o instanceof Class)) throw new Wire.Fault(what + ": reference is not a class but " + o.getClass().getName());
        return (Class<?>) o;
    }

    private Object array(long h, String what) {
        Object o = nonNull(h, what);
        if (!o.getClass().isArray()) throw new Wire.Fault(what + ": reference is not an array but " + o.getClass().getName());
        return o;
    }

    private Throwable throwable(long h, String what) {
        Object o = nonNull(h, what);
        if (!(o instanceof Throwable)) throw new Wire.Fault(what + ": reference is not a Throwable but " + o.getClass().getName());
        return (Throwable) o;
    }

    private void deleteRef(long h) {
        if (h != 0 && refs.remove(h) == null) {
            throw new Wire.Fault("DeleteLocalRef: invalid reference " + h + " (deleted twice or never created)");
        }
    }

    private void raise(Throwable t) {
        pending = t;
        threw = true;
    }

    // ---- operations

    private void init(Wire.Reader in) {
        int count = in.i32();
        for (int i = 0; i < count; i++) {
            String key = new String(in.bytes(), StandardCharsets.UTF_8);
            boolean present = in.u8() != 0;
            String value = new String(in.bytes(), StandardCharsets.UTF_8);
            if (present) {
                System.setProperty(key, value);
            } else {
                System.clearProperty(key);
            }
        }
    }

    private long findClass(byte[] raw) {
        String name = ModifiedUtf8.decode(raw);
        // The VM knows classes by their internal, slash-separated names only.
        if (name.isEmpty() || name.indexOf('.') >= 0) {
            raise(Traces.withoutFrames(new NoClassDefFoundError(name)));
            return 0;
        }
        try {
            return ref(Class.forName(name.replace('/', '.'), true, ClassLoader.getSystemClassLoader()));
        } catch (ClassNotFoundException e) {
            NoClassDefFoundError error = new NoClassDefFoundError(name);
            error.initCause(Traces.withoutFrames(e));
            raise(Traces.withoutFrames(error));
        } catch (Throwable t) {
            raise(Traces.trim(t));
        }
        return 0;
    }

    private void getMethod(Wire.Reader in, Wire.Writer out) {
        Class<?> c = klass(in.i64(), "GetMethodID");
        boolean isStatic = in.u8() != 0;
        String name = ModifiedUtf8.decode(in.bytes());
        String sig = ModifiedUtf8.decode(in.bytes());
        Executable found;
        try {
            initialize(c);
            found = Methods.find(c, name, sig, isStatic);
        } catch (Throwable t) {
            raise(Traces.trim(t));
            out.i64(0);
            return;
        }
        if (found == null) {
            String what = (isStatic ? "static " : "") + Methods.descriptor(c) + "." + name + sig;
            raise(Traces.withoutFrames(new NoSuchMethodError(what)));
            out.i64(0);
            return;
        }
        Long id = methodIds.get(found);
        if (id == null) {
            methods.add(found);
            id = (long) methods.size();
            methodIds.put(found, id);
        }
        out.i64(id).text(Methods.parameterKinds(found)).u8(Methods.returnKind(found));
    }

    private static void initialize(Class<?> c) {
        if (c.isArray() || c.isPrimitive()) return;
        try {
            Class.forName(c.getName(), true, c.getClassLoader());
        } catch (ClassNotFoundException e) {
            // a class that cannot be found by name (a hidden class) is initialised already
        }
    }

    private Executable method(long id) {
        if (id <= 0 || id > methods.size()) throw new Wire.Fault("invalid method ID " + id);
        return methods.get((int) (id - 1));
    }

    private void call(Wire.Reader in, Wire.Writer out) {
        int kind = in.u8();
        long target = in.i64();
        Executable e = method(in.i64());
        Object[] args = arguments(in, e);
        Object result = null;
        try {
            if (kind == Wire.CALL_NEW_OBJECT) {
                Class<?> c = klass(target, "NewObject");
                if (!(e instanceof Constructor) || e.getDeclaringClass() != c) {
                    throw new Wire.Fault("NewObject: method ID is not a constructor of " + c.getName());
                }
                if (Modifier.isAbstract(c.getModifiers())) {
                    raise(Traces.withoutFrames(new InstantiationException(c.getName())));
                } else {
                    result = ((Constructor<?>) e).newInstance(args);
                }
            } else {
                if (!(e instanceof Method)) throw new Wire.Fault("call of a constructor ID as a method");
                Method m = (Method) e;
                boolean isStatic = Modifier.isStatic(m.getModifiers());
                if (isStatic != (kind == Wire.CALL_STATIC)) {
                    throw new Wire.Fault((isStatic ? "instance call of static method " : "static call of instance method ") + m);
                }
                Object receiver = isStatic ? null : nonNull(target, "Call<type>Method");
                result = m.invoke(receiver, args);
            }
        } catch (InvocationTargetException ite) {
            raise(Traces.trim(ite.getCause()));
        } catch (IllegalArgumentException | IllegalAccessException | InstantiationException ex) {
            throw new Wire.Fault("cannot call " + e + ": " + ex);
        } catch (ExceptionInInitializerError ex) {
            raise(Traces.trim(ex));
        }
        writeResult(out, Methods.returnKind(e), result);
    }

    private Object[] arguments(Wire.Reader in, Executable e) {
        Class<?>[] types = e.getParameterTypes();
        int n = in.i32();
        if (n != types.length) throw new Wire.Fault("wrong argument count for " + e);
        Object[] args = new Object[n];
        for (int i = 0; i < n; i++) {
            int tag = in.u8();
            switch (tag) {
                case 'Z': args[i] = in.u8() != 0; break;
                case 'B': args[i] = (byte) in.u8(); break;
                case 'C': args[i] = (char) in.i32(); break;
                case 'S': args[i] = (short) in.i32(); break;
                case 'I': args[i] = in.i32(); break;
                case 'J': args[i] = in.i64(); break;
                case 'F': args[i] = Float.intBitsToFloat(in.i32()); break;
                case 'D': args[i] = Double.longBitsToDouble(in.i64()); break;
                case 'L': args[i] = object(in.i64()); break;
                default: throw new Wire.Fault("bad argument tag " + tag);
            }
        }
        return args;
    }

    private void writeResult(Wire.Writer out, char kind, Object v) {
        out.u8(kind);
        switch (kind) {
            case 'V': break;
            case 'Z': out.u8(v != null && (Boolean) v ? 1 : 0); break;
            case 'B': out.u8(v == null ? 0 : (Byte) v); break;
            case 'C': out.i32(v == null ? 0 : (Character) v); break;
            case 'S': out.i32(v == null ? 0 : (Short) v); break;
            case 'I': out.i32(v == null ? 0 : (Integer) v); break;
            case 'J': out.i64(v == null ? 0 : (Long) v); break;
            case 'F': out.i32(Float.floatToRawIntBits(v == null ? 0f : (Float) v)); break;
            case 'D': out.i64(Double.doubleToRawLongBits(v == null ? 0d : (Double) v)); break;
            default: out.i64(ref(v)); break;
        }
    }

    private long newObjectArray(int length, long cls, long init) {
        Class<?> c = klass(cls, "NewObjectArray");
        Object initial = object(init);
        if (c.isPrimitive()) throw new Wire.Fault("NewObjectArray: element class is primitive");
        if (length < 0) {
            raise(Traces.withoutFrames(new NegativeArraySizeException(String.valueOf(length))));
            return 0;
        }
        Object[] a = (Object[]) Array.newInstance(c, length);
        if (initial != null) {
            if (!c.isInstance(initial)) {
                raise(Traces.withoutFrames(new ArrayStoreException(initial.getClass().getName())));
                return 0;
            }
            java.util.Arrays.fill(a, initial);
        }
        return ref(a);
    }

    private Object[] objectArray(long h, String what) {
        Object a = array(h, what);
        if (!(a instanceof Object[])) throw new Wire.Fault(what + ": not an array of objects");
        return (Object[]) a;
    }

    private void setArrayElement(long arr, int index, long value) {
        Object[] a = objectArray(arr, "SetObjectArrayElement");
        Object v = object(value);
        if (index < 0 || index >= a.length) {
            raise(Traces.withoutFrames(new ArrayIndexOutOfBoundsException(
                    "Index " + index + " out of bounds for length " + a.length)));
            return;
        }
        if (v != null && !a.getClass().getComponentType().isInstance(v)) {
            raise(Traces.withoutFrames(new ArrayStoreException(
                    "type mismatch: can not store " + v.getClass().getName() + " to "
                    + a.getClass().getComponentType().getName() + "[" + index + "]")));
            return;
        }
        a[index] = v;
    }

    private long getArrayElement(long arr, int index) {
        Object[] a = objectArray(arr, "GetObjectArrayElement");
        if (index < 0 || index >= a.length) {
            raise(Traces.withoutFrames(new ArrayIndexOutOfBoundsException(
                    "Index " + index + " out of bounds for length " + a.length)));
            return 0;
        }
        return ref(a[index]);
    }

    private int throwNew(Wire.Reader in) {
        Class<?> c = klass(in.i64(), "ThrowNew");
        boolean hasMessage = in.u8() != 0;
        String message = hasMessage ? ModifiedUtf8.decode(in.bytes()) : null;
        if (!Throwable.class.isAssignableFrom(c)) throw new Wire.Fault("ThrowNew: " + c.getName() + " is not a Throwable");
        try {
            Constructor<?> k = c.getDeclaredConstructor(String.class);
            k.trySetAccessible();
            raise(Traces.withoutFrames((Throwable) k.newInstance(message)));
            return 0;
        } catch (InvocationTargetException ite) {
            raise(Traces.trim(ite.getCause()));
        } catch (ReflectiveOperationException ex) {
            raise(Traces.withoutFrames(new NoSuchMethodError(Methods.descriptor(c) + ".<init>(Ljava/lang/String;)V")));
        }
        return -1;
    }

    /**
     * Prints the pending exception as the VM does and clears it: the heading
     * goes straight to the process's error stream, the stack trace through
     * System.err, wherever the application has sent that.
     */
    private void describe() {
        Throwable t = pending;
        pending = null;
        if (t == null || t instanceof ThreadDeath) return;
        System.err.flush();
        String heading = "Exception in thread \"" + Thread.currentThread().getName() + "\" ";
        try {
            RAW_ERR.write(heading.getBytes(StandardCharsets.UTF_8));
        } catch (IOException ignored) {
            // the heading is lost with the stream
        }
        try {
            t.printStackTrace();
        } catch (Throwable ignored) {
            // as in the VM, a failure while printing is dropped
        }
    }
}
