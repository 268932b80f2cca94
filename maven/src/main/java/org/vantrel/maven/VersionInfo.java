package org.vantrel.maven;

/**
 * The version information of the executable, as the project file's
 * [version] section. A field not given takes its default from the POM (see
 * PackMojo.versionInfo).
 */
public class VersionInfo {
    /** FileVersion; its leading numbers give the fixed file version. */
    String fileVersion;
    /** ProductVersion; its leading numbers give the fixed product version. */
    String productVersion;
    String productName;
    String fileDescription;
    String companyName;
    /** LegalCopyright. */
    String copyright;
    String originalFilename;
    String internalName;

    public VersionInfo() {
    }
}
