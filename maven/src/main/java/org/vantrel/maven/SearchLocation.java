package org.vantrel.maven;

/**
 * One entry of the runtime search sequence, as in the project file's
 * [jvm] search: a type and, depending on it, a path or a variable.
 */
public class SearchLocation {
    /** bundled, directory, relative, env, path or registry. */
    String type;
    /** The runtime home, for bundled, directory and relative. */
    String path;
    /** The environment variable naming a runtime home, for env. */
    String var;

    public SearchLocation() {
    }

    SearchLocation(String type, String path, String var) {
        this.type = type;
        this.path = path;
        this.var = var;
    }
}
