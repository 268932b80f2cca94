package org.vantrel.maven;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;

import org.apache.maven.artifact.Artifact;
import org.apache.maven.plugin.AbstractMojo;
import org.apache.maven.plugin.MojoExecutionException;
import org.apache.maven.plugin.MojoFailureException;
import org.apache.maven.plugins.annotations.Component;
import org.apache.maven.plugins.annotations.LifecyclePhase;
import org.apache.maven.plugins.annotations.Mojo;
import org.apache.maven.plugins.annotations.Parameter;
import org.apache.maven.plugins.annotations.ResolutionScope;
import org.apache.maven.project.MavenProject;
import org.apache.maven.project.MavenProjectHelper;

/**
 * Writes the Windows launcher executable of the project and lays out the
 * application folder: {@code <name>.exe}, {@code lib/} with the project's jar
 * and its runtime dependencies, {@code .vantrel/} with the launcher runtime,
 * optionally {@code jre/}, and optionally a zip of the folder. Every
 * parameter is checked before anything is written; on a problem the build
 * fails and the folder stays as it was. Every parameter and the project-file
 * setting it matches: pack/MAVEN_PLUGIN.md.
 */
@Mojo(name = "pack", defaultPhase = LifecyclePhase.PACKAGE, requiresDependencyResolution = ResolutionScope.RUNTIME,
        threadSafe = true)
public class PackMojo extends AbstractMojo {
    @Parameter(defaultValue = "${project}", readonly = true, required = true)
    MavenProject project;

    @Component
    MavenProjectHelper projectHelper;

    /** Skips the goal. */
    @Parameter(property = "vantrel.skip", defaultValue = "false")
    boolean skip;

    /** The application's main class, in dotted form (required). */
    @Parameter
    String mainClass;

    /** Name of the executable and of the application folder. */
    @Parameter(defaultValue = "${project.artifactId}")
    String name;

    /** Which launcher stub: x86_64 or i686. */
    @Parameter(defaultValue = "x86_64")
    String arch;

    /** console, gui, service or a number 0 to 9. */
    @Parameter
    String executableType;

    /**
     * true: the windowed stub (no console window, like javaw.exe); false:
     * the console stub. Not given: windowed exactly when executableType is gui.
     */
    @Parameter
    Boolean windowed;

    /** The executable's icon: a Windows icon file (.ico) or a PNG image. */
    @Parameter
    File icon;

    /**
     * The version information: fileVersion, productVersion, productName,
     * fileDescription, companyName, copyright, originalFilename,
     * internalName. Not given: the project's version, name, description and
     * organization, and the executable's name.
     */
    @Parameter
    VersionInfo versionInfo;

    /** The execution level the manifest requests: asInvoker, highestAvailable or requireAdministrator. */
    @Parameter
    String executionLevel;

    /** Minimum Java version, such as 11 or 1.8. */
    @Parameter
    String minVersion;

    /** Maximum Java version; a runtime whose version begins with it is accepted. */
    @Parameter
    String maxVersion;

    /**
     * Where the launcher looks for a Java runtime, in order: location
     * elements with a type (bundled, directory, relative, env, path,
     * registry) and a path or var. Default: bundled jre, env JAVA_HOME,
     * registry.
     */
    @Parameter
    List<SearchLocation> search;

    /** VM options, one per item. */
    @Parameter
    List<String> vmOptions;

    /** Fixed application arguments, one per item. */
    @Parameter
    List<String> arguments;

    /** Working directory set at start-up, relative to the executable. */
    @Parameter
    String workingDirectory;

    /** The Windows service name; default: the executable's name. */
    @Parameter
    String serviceName;

    /** Description shown in the Services console. */
    @Parameter
    String serviceDescription;

    /** Services that must run before this one, one per element. */
    @Parameter
    List<String> serviceDependencies;

    /** Seconds the service waits for the application to end on a stop (1 to 86400). */
    @Parameter
    Integer stopTimeout;

    /** "auto": the launcher keeps a class-data sharing archive per runtime and configuration; "off" (default). */
    @Parameter
    String classDataSharing;

    /** never, on-failure or always: when the service starts the application again. */
    @Parameter
    String restart;

    /** Seconds before the first restart (0 to 86400; default 10). */
    @Parameter
    Integer restartDelay;

    /** Seconds the doubling restart delay stops at (0 to 86400; default 300). */
    @Parameter
    Integer restartMaxDelay;

    /** Seconds of running after which the restart count starts over (default 600; 0: never). */
    @Parameter
    Integer restartResetAfter;

    /** Restarts before the service gives up and reports the failure (default 5). */
    @Parameter
    Integer restartLimit;

    /** Recovery actions registered at install: restart N (seconds) or none, one per element. */
    @Parameter
    List<String> onFailure;

    /** Seconds after which the system's failure count starts over (with onFailure; default 86400). */
    @Parameter
    Integer failureResetAfter;

    /** auto, delayed-auto or demand: the start type install registers. */
    @Parameter
    String startType;

    /** The account the service runs as: LocalSystem, NT AUTHORITY\LocalService, ...\NetworkService or NT SERVICE\name. */
    @Parameter
    String serviceAccount;

    /** The service log beside the executable (default NAME.service.log), or none. */
    @Parameter
    String serviceLog;

    /** Size at which the service log rolls, such as 10 MB. */
    @Parameter
    String serviceLogMaxSize;

    /** Rolled service logs kept (default 8). */
    @Parameter
    Integer serviceLogKeep;

    /** Size at which the redirection files roll, such as 10 MB. */
    @Parameter
    String redirectMaxSize;

    /** Rolled redirection files kept (default 8). */
    @Parameter
    Integer redirectKeep;

    /** File that System.out goes to in a service and under /run-redirect; a trailing + appends. */
    @Parameter
    String redirectStdout;

    /** File that System.err goes to, like redirectStdout. */
    @Parameter
    String redirectStderr;

    /**
     * Class path entries after the project's jar and its dependencies: type
     * (archive, directory, env, scan), path, var or dir, and mandatory.
     */
    @Parameter
    List<ClassPathEntry> classPath;

    /** Files packed into the executable and extracted at each start: source and name. */
    @Parameter
    List<EmbeddedFile> files;

    /** Message texts: id (name or number), locale (none: English) and text. */
    @Parameter
    List<MessageText> messages;

    /** Packs the German and French message texts. */
    @Parameter(defaultValue = "true")
    boolean defaultTranslations;

    /** A Java runtime home copied into the application folder as jre/. */
    @Parameter
    File runtimeDirectory;

    /** Where the application folder is laid out. */
    @Parameter(defaultValue = "${project.build.directory}/vantrel")
    File outputDirectory;

    /** Also writes {@code <name>.zip} of the application folder. */
    @Parameter(defaultValue = "false")
    boolean zip;

    /** Attaches the zip to the project, so that install and deploy carry it. */
    @Parameter(defaultValue = "true")
    boolean attachZip;

    /** Classifier of the attached zip. */
    @Parameter(defaultValue = "windows")
    String classifier;

    /** Fixes the time stamps inside the zip (Maven's reproducible-build property). */
    @Parameter(defaultValue = "${project.build.outputTimestamp}")
    String outputTimestamp;

    static final List<SearchLocation> DEFAULT_SEARCH = java.util.Arrays.asList(
            new SearchLocation("bundled", "jre", null), new SearchLocation("env", null, "JAVA_HOME"),
            new SearchLocation("registry", null, null));

    @Override
    public void execute() throws MojoExecutionException, MojoFailureException {
        if (skip) {
            getLog().info("vantrel: skipped (vantrel.skip)");
            return;
        }
        List<String> problems = new ArrayList<>();
        checkName(problems);
        if (!"x86_64".equals(arch) && !"i686".equals(arch)) {
            problems.add("arch: must be x86_64 or i686, not \"" + arch + "\"");
        }
        if (zip && attachZip && (classifier == null || !classifier.matches("[A-Za-z0-9._-]+"))) {
            problems.add("classifier: \"" + classifier + "\" is not a classifier; use letters, digits, '.', '_' or '-'");
        }
        if (runtimeDirectory != null && !new File(runtimeDirectory, "bin").isDirectory()) {
            problems.add("runtimeDirectory: " + runtimeDirectory + " is not a Java runtime home (it has no bin folder)");
        }
        Map<String, File> libraries = libraries(problems);

        BlockPlanner plan = new BlockPlanner();
        plan.serviceName(serviceName != null ? serviceName : name);
        plan.mainClass(mainClass);
        plan.executableType(executableType);
        plan.workingDirectory(workingDirectory);
        plan.vmOptions(vmOptions);
        plan.arguments(arguments);
        plan.versions(minVersion, maxVersion);
        plan.search(search != null ? search : DEFAULT_SEARCH);
        plan.redirects(redirectStderr, redirectStdout);
        plan.serviceDependencies(serviceDependencies);
        plan.stopTimeout(stopTimeout);
        plan.classDataSharing(classDataSharing);
        plan.word("restart", Catalogue.RESTART, restart, "never", "on-failure", "always");
        plan.count("restartDelay", Catalogue.RESTART_DELAY, restartDelay, 0, Catalogue.RESTART_DELAY_MAX);
        plan.count("restartMaxDelay", Catalogue.RESTART_MAX_DELAY, restartMaxDelay, 0, Catalogue.RESTART_DELAY_MAX);
        plan.count("restartResetAfter", Catalogue.RESTART_RESET_AFTER, restartResetAfter, 0, Integer.MAX_VALUE);
        plan.count("restartLimit", Catalogue.RESTART_LIMIT, restartLimit, 0, Catalogue.RESTART_LIMIT_MAX);
        plan.onFailure(onFailure);
        plan.count("failureResetAfter", Catalogue.FAILURE_RESET_AFTER, failureResetAfter, 0, Integer.MAX_VALUE);
        plan.word("startType", Catalogue.START_TYPE, startType, "auto", "delayed-auto", "demand");
        plan.serviceAccount(serviceAccount);
        plan.serviceLog(serviceLog);
        plan.size("serviceLogMaxSize", Catalogue.SERVICE_LOG_MAX_SIZE, serviceLogMaxSize);
        plan.count("serviceLogKeep", Catalogue.SERVICE_LOG_KEEP, serviceLogKeep, 0, Catalogue.KEEP_MAX);
        plan.size("redirectMaxSize", Catalogue.REDIRECT_MAX_SIZE, redirectMaxSize);
        plan.count("redirectKeep", Catalogue.REDIRECT_KEEP, redirectKeep, 0, Catalogue.KEEP_MAX);
        List<String> archives = new ArrayList<>();
        for (String jar : libraries.keySet()) {
            archives.add("lib\\" + jar);
        }
        plan.classPath(archives, classPath);
        plan.files(files, project.getBasedir());
        plan.serviceDescription(serviceDescription);
        plan.messages(messages);
        plan.companions();
        problems.addAll(plan.problems());
        ResourcePlanner resources = new ResourcePlanner(problems);
        resources.icon(icon, project.getBasedir());
        resources.executionLevel(executionLevel);
        resources.versionInfo(versionInfo, project.getVersion(), project.getName(),
                project.getOrganization() != null ? project.getOrganization().getName() : null,
                project.getDescription(), name);
        if (!problems.isEmpty()) {
            fail(problems);
        }
        plan.finish(defaultTranslations);

        boolean windowedStub = windowed != null ? windowed
                : "1".equals(plan.block().config.get(Catalogue.EXECUTABLE_TYPE));
        byte[] stub = resource("stubs/" + (windowedStub ? "vantrelw-" : "vantrel-") + arch + ".exe");
        StubImage image;
        try {
            image = StubImage.prepare(stub);
            image.addResources(resources.resources());
        } catch (StubImage.BadStub e) {
            throw new MojoExecutionException("vantrel: the launcher stub inside the plugin cannot be used: "
                    + e.getMessage() + "; rebuild the plugin with scripts/build.sh");
        }
        ApplicationFolder folder = new ApplicationFolder(outputDirectory, name);
        File exe;
        try {
            exe = folder.write(image, plan.block(), libraries, resource("runtime/vtlruntime.jar"),
                    resource("runtime/" + arch + "/vtlinst.dll"), runtimeDirectory);
        } catch (IOException e) {
            throw new MojoExecutionException("vantrel: writing " + folder.target() + " failed: " + e.getMessage()
                    + "; nothing was written", e);
        }
        BlockWriter block = plan.block();
        getLog().info("vantrel: wrote " + exe + " (" + exe.length() + " bytes): " + arch
                + (windowedStub ? " windowed" : "") + " stub, "
                + block.config.size() + " settings, " + block.messages.size() + " messages, "
                + block.sections.size() + " language sections, " + block.files.size() + " embedded files"
                + (resources.iconImages() > 0 ? ", an icon of " + resources.iconImages() + " images" : ""));
        if (zip) {
            File archive = new File(outputDirectory, name + ".zip");
            try {
                folder.zip(archive, ApplicationFolder.zipTime(outputTimestamp));
            } catch (IOException e) {
                throw new MojoExecutionException("vantrel: writing " + archive + " failed: " + e.getMessage(), e);
            }
            getLog().info("vantrel: wrote " + archive);
            if (attachZip) {
                projectHelper.attachArtifact(project, "zip", classifier, archive);
            }
        }
    }

    private void checkName(List<String> problems) {
        if (name == null || name.isEmpty()) {
            problems.add("name: is empty; give the executable's name without .exe, e.g. <name>MyApp</name>");
            return;
        }
        String why = name.indexOf('/') >= 0 || name.indexOf('\\') >= 0
                ? "'" + name + "' contains a path separator; give a plain file name without .exe"
                : Texts.namePartProblem(name, name);
        if (why != null) {
            problems.add("name: " + why);
        } else if (name.toLowerCase(java.util.Locale.ROOT).endsWith(".exe")) {
            problems.add("name: '" + name + "' ends in .exe; give the name without it (the plugin adds .exe)");
        }
    }

    /**
     * The project's jar and its runtime dependencies, by their file names in
     * lib/, in class path order. Two archives with the same name (Windows
     * ignores case) keep apart through their group id.
     */
    private Map<String, File> libraries(List<String> problems) {
        Map<String, File> out = new LinkedHashMap<>();
        Set<String> taken = new HashSet<>();
        File own = project.getArtifact().getFile();
        if (own == null || !own.isFile()) {
            problems.add("project: there is no project jar to pack (packaging " + project.getPackaging()
                    + "); run the goal in the package phase of a project with <packaging>jar</packaging>");
        } else {
            out.put(own.getName(), own);
            taken.add(Texts.asciiLower(own.getName()));
        }
        for (Artifact a : project.getArtifacts()) {
            if (!a.getArtifactHandler().isAddedToClasspath()) {
                continue;
            }
            File file = a.getFile();
            if (file == null || !file.isFile()) {
                problems.add("dependencies: " + a + " has no archive file (a folder of classes from the reactor?);"
                        + " run mvn package for the whole build, not only this module");
                continue;
            }
            String jar = file.getName();
            if (!taken.add(Texts.asciiLower(jar))) {
                jar = a.getGroupId() + "." + jar;
                if (!taken.add(Texts.asciiLower(jar))) {
                    problems.add("dependencies: two archives would be named lib\\" + jar + "; exclude one of them");
                    continue;
                }
            }
            out.put(jar, file);
        }
        return out;
    }

    private byte[] resource(String path) throws MojoExecutionException {
        try (InputStream in = PackMojo.class.getResourceAsStream("/vantrel/" + path)) {
            if (in == null) {
                throw new MojoExecutionException("vantrel: the plugin jar lacks vantrel/" + path
                        + "; build the plugin with scripts/build.sh, which takes it from dist/");
            }
            java.io.ByteArrayOutputStream bytes = new java.io.ByteArrayOutputStream();
            byte[] buffer = new byte[64 * 1024];
            for (int n; (n = in.read(buffer)) > 0; ) {
                bytes.write(buffer, 0, n);
            }
            return bytes.toByteArray();
        } catch (IOException e) {
            throw new MojoExecutionException("vantrel: reading vantrel/" + path + " from the plugin jar failed", e);
        }
    }

    private void fail(List<String> problems) throws MojoFailureException {
        for (String p : problems) {
            getLog().error("vantrel: " + p);
        }
        String count = problems.size() == 1 ? "1 configuration problem" : problems.size() + " configuration problems";
        throw new MojoFailureException("vantrel: " + count + "; nothing written:\n  " + String.join("\n  ", problems));
    }
}
