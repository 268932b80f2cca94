import com.vantrel.runtime.launcher.LaunchArguments;

// Prints what it was given on both streams; the last output has no line feed.
public class EchoApp {
    public static void main(String[] args) {
        LaunchArguments launch = LaunchArguments.current();
        System.out.println("gui=" + launch.isGuiType() + " flag=" + launch.getRuntimeFlag());
        System.out.println("count=" + args.length);
        for (int i = 0; i < args.length; i++) {
            System.out.println("arg[" + i + "]=" + args[i]);
        }
        System.err.println("err-line");
        System.out.print("tail-without-newline");
    }
}
