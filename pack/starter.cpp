#include "pack/starter.h"

const char* starterProjectText() {
    return R"toml(# Vantrel project file: describes the Java application that the launcher
# executable starts. Build the executable with
#     vtlpack build this-file.toml -o MyApp.exe
# and look at the result with
#     vtlpack inspect MyApp.exe
# Every setting is described in PROJECT_FILE.md. Paths inside the
# executable use backslashes; in TOML write them as "lib\\app.jar" or
# with single quotes as 'lib\app.jar'. Settings are stored in the
# Windows-1252 code page; messages may use any character.

[application]
main_class = "com.example.Main"
# "console" (errors on standard error), "gui" (needs javaw.exe, errors in
# message boxes, and the windowed stub: no console window) or "service"
# (installs as an automatic-start service).
executable_type = "console"
# windowed = true                  # the windowed stub whatever the type
# icon = "app.ico"                 # an .ico file, or a PNG image
# execution_level = "asInvoker"    # or "highestAvailable", "requireAdministrator"
# Name under which "MyApp.exe /install" registers the Windows service.
service_name = "MyApp"
vm_options = ["-Xmx512m"]
# arguments = ["--verbose"]
# working_directory = "."
# app_dir = "."
# single_instance = true

# Version information, shown in the file's Properties and by the Task
# Manager. Not given: the executable's name, and version 0.0.0.0.
# [version]
# file_version = "1.0.0"
# product_name = "My App"
# company_name = "Example Ltd"
# copyright = "© 2026 Example Ltd"

[jvm]
min_version = "11"
# max_version = "21"
# The launcher keeps a class-data sharing archive per runtime and class
# path: from the second start on the application starts about twice as
# fast (Java 13 and later). "off" leaves the VM as it is.
class_data_sharing = "auto"
# Where to look for a Java runtime, in order; the launcher then also tries
# earlier installations and MORLIN_JAVA_HOME / VANTREL_JAVA_HOME.
search = [
    { type = "bundled", path = 'jre' },
    { type = "env", var = "JAVA_HOME" },
    { type = "registry" },
]

# Class path entries, in order. Types: archive, directory, env, scan.
[[classpath]]
type = "archive"
path = 'lib\app.jar'
mandatory = true

[[classpath]]
type = "scan"
dir = "lib"

# [redirect]
# stderr = "error.log"
# stdout = "output.log+"
# max_size = "10 MB"

# [service]
# description = "Runs MyApp in the background."
# dependencies = ["Tcpip"]
# Start the application again when it fails (after 10 s, then twice as long).
# restart = "on-failure"
# start = "delayed-auto"
# account = 'NT AUTHORITY\NetworkService'
# log_max_size = "10 MB"

# Files packed into the executable and extracted into a temporary folder
# at each start; archives at the top of that folder join the class path.
# [[files]]
# source = "build/extra.jar"
# name = 'extra.jar'

# Replace a message, in English and per language:
# [messages]
# no_jvm_found = "MyApp needs Java 11 or newer. Please install it from https://adoptium.net."
# [messages.de]
# no_jvm_found = "MyApp benötigt Java 11 oder neuer. Bitte installieren Sie es von https://adoptium.net."

[build]
# Which stub to use. A stub loads only Java runtimes of its own width, and
# current Java releases are 64-bit. Choose "i686" only for an application
# that must run on a 32-bit Java runtime (Java 21 was the last with one).
arch = "x86_64"
# stub = "stubs/vantrel-x86_64.exe"
# default_translations = true
)toml";
}
