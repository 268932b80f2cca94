package org.vantrel.maven;

import java.io.File;
import java.io.IOException;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.List;

/**
 * The resources of the executable (icon, version information, manifest)
 * and the choice between the console and the windowed stub, with the
 * checks vtlpack applies to the same project-file settings
 * (pack/project_resources.cpp, pack/executable_resources.cpp).
 */
final class ResourcePlanner {
    private final List<String> problems;
    private IconFile icon;
    private String executionLevel = "asInvoker";
    /** In the order of VersionResource.NAMES. */
    private final String[] texts = new String[VersionResource.NAMES.length];
    private int[] fileVersion = new int[4];
    private int[] productVersion = new int[4];

    private static final int COMPANY = 0;
    private static final int DESCRIPTION = 1;
    private static final int FILE_VERSION = 2;
    private static final int INTERNAL = 3;
    private static final int COPYRIGHT = 4;
    private static final int ORIGINAL = 5;
    private static final int PRODUCT = 6;
    private static final int PRODUCT_VERSION = 7;

    ResourcePlanner(List<String> problems) {
        this.problems = problems;
    }

    void icon(File file, File baseDir) {
        if (file == null) {
            return;
        }
        File source = file.isAbsolute() ? file : new File(baseDir, file.getPath());
        if (!source.isFile()) {
            problems.add("icon: the icon " + source + " was not found; relative paths start at the project's folder");
            return;
        }
        int limit = Catalogue.limit("icon_file_bytes");
        if (source.length() > limit) {
            problems.add("icon: the icon " + source + " has " + source.length() + " bytes; an icon may have at most "
                    + limit + " (16 MB)");
            return;
        }
        try {
            icon = IconFile.parse(Files.readAllBytes(source.toPath()));
        } catch (IconFile.Bad e) {
            problems.add("icon: the icon " + source + " " + e.getMessage());
        } catch (IOException e) {
            problems.add("icon: the icon " + source + " cannot be read: " + e.getMessage());
        }
    }

    void executionLevel(String level) {
        if (level == null) {
            return;
        }
        if (!level.equals("asInvoker") && !level.equals("highestAvailable") && !level.equals("requireAdministrator")) {
            problems.add("executionLevel: \"" + level + "\" is unknown; use asInvoker (the default), "
                    + "highestAvailable or requireAdministrator");
            return;
        }
        executionLevel = level;
    }

    /**
     * The version texts: the parameter's fields, else the POM's values
     * (whose white space is folded, as POM texts span lines), else the
     * defaults vtlpack uses: the description falls back to the product
     * name, the two versions to each other, the names to the executable's.
     */
    void versionInfo(VersionInfo given, String projectVersion, String projectName, String organization,
            String description, String name) {
        VersionInfo v = given != null ? given : new VersionInfo();
        text(FILE_VERSION, "versionInfo.fileVersion", v.fileVersion, "project.version", projectVersion);
        text(PRODUCT_VERSION, "versionInfo.productVersion", v.productVersion, "project.version", projectVersion);
        text(PRODUCT, "versionInfo.productName", v.productName, "project.name", projectName);
        text(DESCRIPTION, "versionInfo.fileDescription", v.fileDescription, "project.description", description);
        text(COMPANY, "versionInfo.companyName", v.companyName, "project.organization.name", organization);
        text(COPYRIGHT, "versionInfo.copyright", v.copyright, null, null);
        text(ORIGINAL, "versionInfo.originalFilename", v.originalFilename, null, null);
        text(INTERNAL, "versionInfo.internalName", v.internalName, null, null);
        if (texts[FILE_VERSION] == null) {
            texts[FILE_VERSION] = texts[PRODUCT_VERSION];
        }
        if (texts[PRODUCT_VERSION] == null) {
            texts[PRODUCT_VERSION] = texts[FILE_VERSION];
        }
        if (texts[PRODUCT] == null) {
            texts[PRODUCT] = name;
        }
        if (texts[DESCRIPTION] == null) {
            texts[DESCRIPTION] = texts[PRODUCT];
        }
        if (texts[INTERNAL] == null) {
            texts[INTERNAL] = name;
        }
        if (texts[ORIGINAL] == null) {
            texts[ORIGINAL] = name + ".exe";
        }
        fileVersion = number("versionInfo.fileVersion", texts[FILE_VERSION]);
        productVersion = number("versionInfo.productVersion", texts[PRODUCT_VERSION]);
    }

    private void text(int index, String parameter, String value, String pomName, String pomValue) {
        String label = parameter;
        if (value == null && pomValue != null) {
            value = pomValue.trim().replaceAll("\\s+", " ");
            label = parameter + " (from " + pomName + ")";
            if (value.isEmpty()) {
                return;
            }
        }
        if (value == null) {
            return;
        }
        if (value.isEmpty()) {
            problems.add(label + ": is empty; leave the parameter out instead");
            return;
        }
        String why = VersionResource.textProblem(value);
        if (why == null) {
            why = Texts.messageProblem(value);
        }
        if (why != null) {
            problems.add(label + ": " + why + (pomName != null && !label.equals(parameter)
                    ? "; or give <versionInfo><" + parameter.substring(parameter.indexOf('.') + 1) + ">" : ""));
            return;
        }
        texts[index] = value;
    }

    private int[] number(String parameter, String text) {
        if (text == null) {
            return new int[4];
        }
        String[] why = new String[1];
        int[] parts = VersionResource.number(text, why);
        if (parts == null) {
            problems.add(parameter + ": " + why[0]);
            return new int[4];
        }
        return parts;
    }

    /** Icon images and group, version information and manifest. */
    List<ResourceSection.Resource> resources() {
        List<ResourceSection.Resource> out = new ArrayList<>();
        if (icon != null) {
            for (int i = 0; i < icon.images.size(); i++) {
                out.add(new ResourceSection.Resource(ResourceSection.RT_ICON, 1 + i, icon.images.get(i).data));
            }
            out.add(new ResourceSection.Resource(ResourceSection.RT_GROUP_ICON, 1, icon.group(1)));
        }
        out.add(new ResourceSection.Resource(ResourceSection.RT_VERSION, 1,
                VersionResource.encode(fileVersion, productVersion, texts)));
        String manifest = Catalogue.manifestTemplate().replace("{executionLevel}", executionLevel);
        out.add(new ResourceSection.Resource(ResourceSection.RT_MANIFEST, 1,
                manifest.getBytes(java.nio.charset.StandardCharsets.UTF_8)));
        return out;
    }

    int iconImages() {
        return icon == null ? 0 : icon.images.size();
    }
}
