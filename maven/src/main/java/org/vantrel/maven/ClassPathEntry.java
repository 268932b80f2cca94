package org.vantrel.maven;

/**
 * A class path entry beyond the project's jar and its dependencies, as in
 * the project file's [[classpath]] tables.
 */
public class ClassPathEntry {
    /** archive, directory, env or scan. */
    String type;
    /** The file or folder, relative to the executable, for archive and directory. */
    String path;
    /** The environment variable whose value is added, for env. */
    String var;
    /** The folder whose archives are all added, for scan. */
    String dir;
    /** The launch fails when the entry is missing. */
    boolean mandatory;

    public ClassPathEntry() {
    }
}
