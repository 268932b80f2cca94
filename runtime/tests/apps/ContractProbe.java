import com.morlin.runtime.WinLauncher;
import com.vantrel.runtime.installer.platform.win32.Common;
import com.vantrel.runtime.launcher.FirstRun;

// Calls the static entries the native launcher calls, the way it calls them.
public class ContractProbe {
    public static void main(String[] args) throws Throwable {
        System.out.println("splash-before=" + WinLauncher.getSplashConfig());
        WinLauncher.initAwtSplashConfig(true, false, "Loading", 10, 20, "0,0,0", 3, 4,
                "v1.2", 30, 40, "255,0,0", 5, 6);
        System.out.println("splash=" + WinLauncher.getSplashConfig());
        System.out.println("common-before=" + Common.isInitialisedFromLauncher() + "/" + Common.getLauncherCalls());
        Common.initFromLauncher(true);
        System.out.println("common=" + Common.isInitialisedFromLauncher() + "/" + Common.getLauncherCalls());
        try {
            System.out.println("firstRun=" + FirstRun.firstRun());
        } catch (Throwable t) {
            System.out.println("firstRun threw " + t);
        }
    }
}
