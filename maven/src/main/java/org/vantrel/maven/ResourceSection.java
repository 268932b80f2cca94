package org.vantrel.maven;

import java.io.ByteArrayOutputStream;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;

/**
 * The resource section of a packed executable, byte for byte as vtlpack
 * writes it (pack/resource_section.cpp): the directories of types, ids and
 * languages in ascending order, the data entries, then the data, every item
 * on an 8-byte boundary.
 */
final class ResourceSection {
    private ResourceSection() {
    }

    static final int RT_ICON = 3;
    static final int RT_GROUP_ICON = 14;
    static final int RT_VERSION = 16;
    static final int RT_MANIFEST = 24;
    /** US English, the language the version resource's translation entry names. */
    static final int LANGUAGE = 0x0409;

    private static final int SUBDIRECTORY = 0x80000000;
    private static final int DIRECTORY_HEADER = 16;
    private static final int DIRECTORY_ENTRY = 8;
    private static final int DATA_ENTRY = 16;

    static final class Resource {
        final int type;
        final int id;
        final int language;
        final byte[] data;

        Resource(int type, int id, byte[] data) {
            this.type = type;
            this.id = id;
            this.language = LANGUAGE;
            this.data = data;
        }
    }

    private static int align8(int n) {
        return (n + 7) & ~7;
    }

    static byte[] encode(List<Resource> resources, int sectionRva) {
        // type -> id -> language -> resource; a later duplicate is dropped, as in vtlpack
        TreeMap<Integer, TreeMap<Integer, TreeMap<Integer, Resource>>> tree = new TreeMap<>();
        for (Resource r : resources) {
            tree.computeIfAbsent(r.type, k -> new TreeMap<>()).computeIfAbsent(r.id, k -> new TreeMap<>())
                    .putIfAbsent(r.language, r);
        }
        List<Resource> ordered = new ArrayList<>();
        int typeDirectories = DIRECTORY_HEADER + DIRECTORY_ENTRY * tree.size();
        int idDirectories = typeDirectories;
        int dataEntries = 0;
        for (TreeMap<Integer, TreeMap<Integer, Resource>> ids : tree.values()) {
            idDirectories += DIRECTORY_HEADER + DIRECTORY_ENTRY * ids.size();
            for (TreeMap<Integer, Resource> languages : ids.values()) {
                dataEntries += DIRECTORY_HEADER + DIRECTORY_ENTRY * languages.size();
                ordered.addAll(languages.values());
            }
        }
        dataEntries += idDirectories;
        int end = dataEntries + DATA_ENTRY * ordered.size();
        Map<Resource, Integer> dataAt = new java.util.IdentityHashMap<>();
        Map<Resource, Integer> entryAt = new java.util.IdentityHashMap<>();
        for (int i = 0; i < ordered.size(); i++) {
            Resource r = ordered.get(i);
            entryAt.put(r, dataEntries + DATA_ENTRY * i);
            dataAt.put(r, end);
            end = align8(end + r.data.length);
        }
        byte[] b = new byte[end];
        directory(b, 0, tree.size());
        int typeAt = typeDirectories;
        int idAt = idDirectories;
        int typeIndex = 0;
        for (Map.Entry<Integer, TreeMap<Integer, TreeMap<Integer, Resource>>> type : tree.entrySet()) {
            entry(b, 0, typeIndex++, type.getKey(), SUBDIRECTORY | typeAt);
            directory(b, typeAt, type.getValue().size());
            int idIndex = 0;
            for (Map.Entry<Integer, TreeMap<Integer, Resource>> id : type.getValue().entrySet()) {
                entry(b, typeAt, idIndex++, id.getKey(), SUBDIRECTORY | idAt);
                directory(b, idAt, id.getValue().size());
                int languageIndex = 0;
                for (Resource r : id.getValue().values()) {
                    int at = entryAt.get(r);
                    entry(b, idAt, languageIndex++, r.language, at);
                    put32(b, at, sectionRva + dataAt.get(r));
                    put32(b, at + 4, r.data.length);
                    System.arraycopy(r.data, 0, b, dataAt.get(r), r.data.length);
                }
                idAt += DIRECTORY_HEADER + DIRECTORY_ENTRY * id.getValue().size();
            }
            typeAt += DIRECTORY_HEADER + DIRECTORY_ENTRY * type.getValue().size();
        }
        return b;
    }

    private static void directory(byte[] b, int at, int count) {
        b[at + 14] = (byte) count;
        b[at + 15] = (byte) (count >>> 8);
    }

    private static void entry(byte[] b, int directory, int index, int id, int target) {
        int at = directory + DIRECTORY_HEADER + DIRECTORY_ENTRY * index;
        put32(b, at, id);
        put32(b, at + 4, target);
    }

    static void put32(byte[] b, int at, int v) {
        for (int i = 0; i < 4; i++) {
            b[at + i] = (byte) (v >>> (8 * i));
        }
    }

    /** Little-endian helpers for the resource encoders. */
    static final class Bytes extends ByteArrayOutputStream {
        void u16(int v) {
            write(v & 0xFF);
            write(v >>> 8 & 0xFF);
        }

        void u32(int v) {
            u16(v & 0xFFFF);
            u16(v >>> 16);
        }

        void pad4() {
            while (size() % 4 != 0) {
                write(0);
            }
        }

        void patch16(int at, int v) {
            buf[at] = (byte) v;
            buf[at + 1] = (byte) (v >>> 8);
        }
    }
}
