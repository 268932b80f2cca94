package org.vantrel.maven;

import java.io.BufferedOutputStream;
import java.io.File;
import java.io.FilterOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.RandomAccessFile;
import java.nio.file.DirectoryStream;
import java.nio.file.FileVisitResult;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.SimpleFileVisitor;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.BasicFileAttributes;
import java.time.Instant;
import java.time.OffsetDateTime;
import java.time.format.DateTimeParseException;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Map;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;

/**
 * The application folder, ready to ship:
 * <pre>
 * NAME.exe
 * lib/                     the project's jar and its runtime dependencies
 * .vantrel/vtlruntime.jar  the launcher runtime
 * .vantrel/vtlinst.dll     its helper library, of the executable's width
 * jre/                     optional: a bundled Java runtime
 * </pre>
 * It is assembled in a temporary folder beside the target, which replaces
 * the target only once everything is written, so a failed build never
 * leaves half a folder behind.
 */
final class ApplicationFolder {
    private final File parent;
    private final String name;

    ApplicationFolder(File parent, String name) {
        this.parent = parent;
        this.name = name;
    }

    File target() {
        return new File(parent, name);
    }

    File write(StubImage stub, BlockWriter block, Map<String, File> libraries, byte[] runtimeJar, byte[] helper,
            File runtimeHome) throws IOException {
        Files.createDirectories(parent.toPath());
        Path staging = Files.createDirectory(sibling("." + name + ".partial-"));
        try {
            writeExecutable(staging.resolve(name + ".exe"), stub, block);
            Path lib = Files.createDirectory(staging.resolve("lib"));
            for (Map.Entry<String, File> jar : libraries.entrySet()) {
                Files.copy(jar.getValue().toPath(), lib.resolve(jar.getKey()));
            }
            Path runtime = Files.createDirectory(staging.resolve(".vantrel"));
            Files.write(runtime.resolve("vtlruntime.jar"), runtimeJar);
            Files.write(runtime.resolve("vtlinst.dll"), helper);
            if (runtimeHome != null) {
                copyTree(runtimeHome.toPath(), staging.resolve("jre"));
            }
            // The earlier folder steps aside first and comes back if the new
            // one cannot take its place.
            Path target = target().toPath();
            Path earlier = null;
            if (Files.exists(target)) {
                earlier = sibling("." + name + ".earlier-");
                Files.move(target, earlier, StandardCopyOption.ATOMIC_MOVE);
            }
            try {
                Files.move(staging, target, StandardCopyOption.ATOMIC_MOVE);
            } catch (IOException e) {
                if (earlier != null) {
                    Files.move(earlier, target, StandardCopyOption.ATOMIC_MOVE);
                }
                throw e;
            }
            if (earlier != null) {
                try {
                    deleteTree(earlier);
                } catch (IOException e) {
                    // The new folder is in place; a hidden leftover of the old one is harmless.
                }
            }
        } catch (IOException | RuntimeException e) {
            deleteTree(staging);
            throw e;
        }
        return new File(target(), name + ".exe");
    }

    /** The stub's bytes before the block, then the block, with the PE checksum fixed when the stub carries one. */
    private static void writeExecutable(Path exe, StubImage stub, BlockWriter block) throws IOException {
        StubImage.Checksum checksum = new StubImage.Checksum();
        try (OutputStream file = new BufferedOutputStream(Files.newOutputStream(exe), 64 * 1024);
                OutputStream out = new FilterOutputStream(file) {
                    @Override
                    public void write(byte[] b, int off, int len) throws IOException {
                        checksum.add(b, off, len);
                        file.write(b, off, len);
                    }

                    @Override
                    public void write(int b) throws IOException {
                        write(new byte[] {(byte) b}, 0, 1);
                    }
                }) {
            out.write(stub.prefix, 0, stub.prefix.length);
            block.write(out);
        }
        if (stub.recomputeChecksum) {
            int value = checksum.finish();
            try (RandomAccessFile patch = new RandomAccessFile(exe.toFile(), "rw")) {
                patch.seek(stub.checksumOffset);
                patch.write(new byte[] {(byte) value, (byte) (value >>> 8), (byte) (value >>> 16), (byte) (value >>> 24)});
            }
        }
    }

    /** A zip of the folder, entries below NAME/ in name order, written to a temporary file first. */
    void zip(File archive, long time) throws IOException {
        Path temp = Files.createFile(sibling("." + archive.getName() + ".partial-"));
        try {
            try (ZipOutputStream out = new ZipOutputStream(new BufferedOutputStream(Files.newOutputStream(temp)))) {
                addToZip(out, target().toPath(), name + "/", time);
            }
            Files.move(temp, archive.toPath(), StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
        } catch (IOException | RuntimeException e) {
            Files.deleteIfExists(temp);
            throw e;
        }
    }

    private static void addToZip(ZipOutputStream out, Path dir, String prefix, long time) throws IOException {
        ZipEntry folder = new ZipEntry(prefix);
        folder.setTime(time);
        out.putNextEntry(folder);
        out.closeEntry();
        List<Path> children = new ArrayList<>();
        try (DirectoryStream<Path> list = Files.newDirectoryStream(dir)) {
            for (Path p : list) {
                children.add(p);
            }
        }
        Collections.sort(children);
        for (Path child : children) {
            String entryName = prefix + child.getFileName();
            if (Files.isDirectory(child)) {
                addToZip(out, child, entryName + "/", time);
            } else {
                ZipEntry entry = new ZipEntry(entryName);
                entry.setTime(time);
                out.putNextEntry(entry);
                Files.copy(child, out);
                out.closeEntry();
            }
        }
    }

    /**
     * Time stamp of the zip entries: Maven's project.build.outputTimestamp
     * (ISO 8601 or seconds since 1970) when set, for reproducible builds;
     * otherwise now.
     */
    static long zipTime(String outputTimestamp) {
        if (outputTimestamp != null && outputTimestamp.length() > 1) {
            if (outputTimestamp.matches("[0-9]+")) {
                return Long.parseLong(outputTimestamp) * 1000L;
            }
            try {
                return OffsetDateTime.parse(outputTimestamp).toInstant().toEpochMilli();
            } catch (DateTimeParseException e) {
                // Maven itself refuses such a value in the jar plugin; here it only dates zip entries.
            }
        }
        return Instant.now().toEpochMilli();
    }

    /**
     * A free name beside the target. Unlike a temporary file's, what is created
     * there gets the usual permissions, which the finished folder keeps.
     */
    private Path sibling(String prefix) throws IOException {
        for (int attempt = 0; attempt < 100; attempt++) {
            Path candidate = parent.toPath().resolve(prefix + Long.toHexString(RANDOM.nextLong() & 0xFFFFFFFFL));
            if (!Files.exists(candidate)) {
                return candidate;
            }
        }
        throw new IOException("cannot find a free temporary name in " + parent);
    }

    private static final java.security.SecureRandom RANDOM = new java.security.SecureRandom();

    private static void copyTree(Path from, Path to) throws IOException {
        Files.walkFileTree(from, new SimpleFileVisitor<Path>() {
            @Override
            public FileVisitResult preVisitDirectory(Path dir, BasicFileAttributes attrs) throws IOException {
                Files.createDirectories(to.resolve(from.relativize(dir).toString()));
                return FileVisitResult.CONTINUE;
            }

            @Override
            public FileVisitResult visitFile(Path file, BasicFileAttributes attrs) throws IOException {
                Files.copy(file, to.resolve(from.relativize(file).toString()), StandardCopyOption.COPY_ATTRIBUTES);
                return FileVisitResult.CONTINUE;
            }
        });
    }

    private static void deleteTree(Path root) throws IOException {
        if (!Files.exists(root)) {
            return;
        }
        Files.walkFileTree(root, new SimpleFileVisitor<Path>() {
            @Override
            public FileVisitResult visitFile(Path file, BasicFileAttributes attrs) throws IOException {
                Files.delete(file);
                return FileVisitResult.CONTINUE;
            }

            @Override
            public FileVisitResult postVisitDirectory(Path dir, IOException e) throws IOException {
                Files.delete(dir);
                return FileVisitResult.CONTINUE;
            }
        });
    }
}
