package org.vantrel.maven;

import java.io.File;

/** A file packed into the executable and extracted at every start, as the project file's [[files]]. */
public class EmbeddedFile {
    /** The file to pack; a relative path starts at the project's folder. */
    File source;
    /** Its name in the temporary folder; default: the source's file name. */
    String name;

    public EmbeddedFile() {
    }
}
