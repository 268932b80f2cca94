package hostjvmtest;

/** Prints its arguments with their code points, and the system properties named in probe.props. */
public final class Echo {
    public static void main(String[] args) {
        System.out.println("thread " + Thread.currentThread().getName());
        System.out.println("count " + args.length);
        for (int i = 0; i < args.length; i++) {
            StringBuilder points = new StringBuilder();
            args[i].codePoints().forEach(c -> points.append(String.format(" U+%04X", c)));
            System.out.println("arg " + i + " [" + args[i] + "]" + points);
        }
        String props = System.getProperty("probe.props", "");
        for (String name : props.split(",")) {
            if (!name.isEmpty()) {
                System.out.println("prop " + name + "=" + System.getProperty(name));
            }
        }
    }
}
