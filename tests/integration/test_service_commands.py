"""The service commands against Wine's Service Control Manager: what they
print, what they return and what they register. Services that must run
here are testsvc.exe (registered over the launcher's entry with svctool),
so these tests do not depend on the service runtime."""
import re
import time

from svc_helpers import (RUNNING, STOPPED, keepalive, services, stoppable_service,  # noqa: F401
                         winpath)


def test_install_start_stop_status_uninstall_cycle(wine, make_launcher, services):
    name = services.name()
    exe = make_launcher({101: name})

    r = wine.run(exe, "/install")
    assert (r.rc, r.out) == (0, f"Installed service '{name}'.\n")
    config = services.config(name)
    assert config["type"] == "0x110"  # own process, interactive
    assert config["start"] == "3"     # demand start: key 107 is absent
    assert config["path"] == f'"{winpath(exe)}"'
    assert config["display"] == name

    r = wine.run(exe, "/status")
    assert (r.rc, r.out) == (3, "Not running.\n")

    services.set_path(name, stoppable_service())
    r = wine.run(exe, "/start")
    assert (r.rc, r.out) == (0, f"Starting service '{name}'.\n")
    services.wait_state(name, RUNNING)
    r = wine.run(exe, "/status")
    assert (r.rc, r.out) == (0, "Running.\n")
    r = wine.run(exe, "/start")
    assert (r.rc, r.out) == (0, "Service is already running.\n")

    r = wine.run(exe, "/stop")
    assert (r.rc, r.out) == (0, f"Stopping service '{name}'.\nService stopped\n")
    assert services.query(name)["state"] == STOPPED
    r = wine.run(exe, "/status")
    assert (r.rc, r.out) == (3, "Not running.\n")
    r = wine.run(exe, "/stop")
    assert (r.rc, r.out) == (0, "Service is already stopped.\n")

    # The silent stop inside uninstall still reports what it found.
    r = wine.run(exe, "/uninstall")
    assert (r.rc, r.out) == (0, f"Service is already stopped.\nUninstalled service '{name}'.\n")
    r = wine.run(exe, "/status")
    assert (r.rc, r.out) == (1, "Could not get status.\n")


def test_commands_on_a_missing_service(wine, make_launcher, services):
    exe = make_launcher({101: services.name()})
    r = wine.run(exe, "/status")
    assert (r.rc, r.out) == (1, "Could not get status.\n")
    r = wine.run(exe, "/stop")
    assert (r.rc, r.out) == (1, "Could not stop service.\n")
    r = wine.run(exe, "/start")
    assert (r.rc, r.out) == (1, "Could not start service. Error code: 1060\n")
    r = wine.run(exe, "/uninstall")
    assert (r.rc, r.out) == (1, "Could not delete service.\n")


def test_install_over_a_running_service_stops_and_replaces_it(wine, make_launcher, services):
    name = services.name()
    exe = make_launcher({101: name})
    services.create(name, stoppable_service(steps=3, step_ms=200))
    services.start(name)
    services.wait_state(name, RUNNING)

    r = wine.run(exe, "/install")
    assert (r.rc, r.out) == (0, f"Stopping service '{name}'.\nService stopped\nInstalled service '{name}'.\n")
    assert services.config(name)["path"] == f'"{winpath(exe)}"'
    assert services.query(name)["state"] == STOPPED


def test_install_over_a_stopped_service_and_over_nothing(wine, make_launcher, services):
    name = services.name()
    exe = make_launcher({101: name})
    services.create(name, stoppable_service())
    r = wine.run(exe, "/install")
    assert (r.rc, r.out) == (0, f"Service is already stopped.\nInstalled service '{name}'.\n")
    assert services.config(name)["path"] == f'"{winpath(exe)}"'

    fresh = services.name()
    r = wine.run(make_launcher({101: fresh}, name="fresh.exe"), "/install")
    assert (r.rc, r.out) == (0, f"Installed service '{fresh}'.\n")


def test_stop_waits_while_the_check_point_advances(wine, make_launcher, services):
    # Ten steps of 300 ms (3 s in all) with a wait hint of 1 s: only the
    # advancing check point keeps the wait going.
    name = services.name()
    exe = make_launcher({101: name})
    services.create(name, stoppable_service(steps=10, step_ms=300, wait_hint_ms=1000))
    services.start(name)
    services.wait_state(name, RUNNING)
    started = time.time()
    r = wine.run(exe, "/stop")
    assert (r.rc, r.out) == (0, f"Stopping service '{name}'.\nService stopped\n")
    assert time.time() - started >= 2.5


def test_stop_gives_up_after_a_wait_hint_without_progress(wine, make_launcher, services):
    # The check point stays put for 4 s; the wait hint is 1 s.
    name = services.name()
    exe = make_launcher({101: name})
    services.create(name, stoppable_service(steps=1, step_ms=4000, wait_hint_ms=1000))
    services.start(name)
    services.wait_state(name, RUNNING)
    r = wine.run(exe, "/stop")
    assert (r.rc, r.out) == (0, f"Stopping service '{name}'.\nError while stopping service\n")
    services.wait_state(name, STOPPED)


def test_dependencies_from_key_149(wine, make_launcher, services):
    # Wine's CreateServiceA hands only the first name of the list on to the
    # SCM (it converts the list as one string, and stores a size that runs
    # past it: what follows is whatever lay behind, garbage on 32-bit), so
    # only the first entry can be checked here; the whole list is covered
    # by the unit tests.
    name = services.name()
    r = wine.run(make_launcher({101: name, 149: ",,a b,,c,"}), "/install")
    assert r.rc == 0, r
    assert services.dependencies(name)[0] == "a b"

    name = services.name()
    r = wine.run(make_launcher({101: name, 149: "first, second"}, name="two.exe"), "/install")
    assert r.rc == 0, r
    assert services.dependencies(name)[0] == "first"

    name = services.name()
    long_name = "d" * 5999
    r = wine.run(make_launcher({101: name, 149: long_name}, name="long.exe"), "/install")
    assert (r.rc, r.out) == (0, f"Installed service '{name}'.\n")
    assert services.dependencies(name)[0] == long_name

    name = services.name()
    r = wine.run(make_launcher({101: name}, name="none.exe"), "/install")
    assert r.rc == 0, r
    assert services.dependencies(name) in (None, [])


def test_description_from_message_20017(wine, make_launcher, services):
    name = services.name()
    text = "Démo service – äöü ✓"
    r = wine.run(make_launcher({101: name}, messages={20017: text}), "/install")
    assert (r.rc, r.out) == (0, f"Installed service '{name}'.\n")
    assert services.description(name) == text

    for label, messages in (("empty", {20017: ""}), ("absent", {})):
        name = services.name()
        r = wine.run(make_launcher({101: name}, messages=messages, name=f"{label}.exe"), "/install")
        assert r.rc == 0, r
        assert services.description(name) == ""


def test_non_interactive_and_start_types(wine, make_launcher, services):
    name = services.name()
    exe = make_launcher({101: name})
    r = wine.run(exe, "/install", "non-interactive")
    assert (r.rc, r.out) == (0, f"Installed service '{name}'.\n")
    assert services.config(name)["type"] == "0x10"

    # Key 107 = 4 makes "install" an automatic start; the explicit words win.
    auto = make_launcher({101: name, 107: "4"}, name="auto.exe")
    r = wine.run(auto, "/install")
    assert services.config(name)["start"] == "2", r
    assert services.config(name)["type"] == "0x110"
    r = wine.run(auto, "/install-demand")
    assert services.config(name)["start"] == "3", r
    r = wine.run(exe, "/install-auto")
    assert services.config(name)["start"] == "2", r
    r = wine.run(make_launcher({101: name, 107: "1"}, name="gui.exe"), "/install")
    assert services.config(name)["start"] == "3", r


def test_status_of_an_automatic_start_service(wine, make_launcher, services):
    name = services.name()
    exe = make_launcher({101: name})
    r = wine.run(exe, "/install-auto")
    assert r.rc == 0, r
    r = wine.run(exe, "/status")
    assert (r.rc, r.out) == (3, "Not running.\nAuto-start.\n")
    services.set_path(name, stoppable_service())
    services.start(name)
    services.wait_state(name, RUNNING)
    r = wine.run(exe, "/status")
    assert (r.rc, r.out) == (0, "Running.\nAuto-start.\n")


def test_service_name_with_blanks_from_the_command_line(wine, make_launcher, services):
    name = services.name(" my svc ")
    exe = make_launcher({101: "configured"})
    r = wine.run(exe, "/install", "non-interactive", *name.split(" "))
    assert (r.rc, r.out) == (0, f"Installed service '{name}'.\n")
    config = services.config(name)
    assert config["type"] == "0x10"
    assert config["display"] == name
    r = wine.run(exe, "/status", *name.split(" "))
    assert (r.rc, r.out) == (3, "Not running.\n")
    # An option after the name is part of the name.
    r = wine.run(exe, "--status", *name.split(" "), "non-interactive")
    assert (r.rc, r.out) == (1, "Could not get status.\n")
    r = wine.run(exe, "-uninstall", *name.split(" "))
    assert (r.rc, r.out) == (0, f"Service is already stopped.\nUninstalled service '{name}'.\n")


def test_install_and_start_reports_the_start(wine, make_launcher, services):
    name = services.name()
    exe = make_launcher({101: name})
    services.create(name, stoppable_service())
    services.start(name)
    services.wait_state(name, RUNNING)
    # The replaced service runs the launcher itself; whatever the service
    # then does, the command reports the start request and returns 0.
    r = wine.run(exe, "/install-and-start")
    assert r.rc == 0, r
    assert r.out == (f"Stopping service '{name}'.\nService stopped\nInstalled service '{name}'.\n"
                     f"Starting service '{name}'.\n")


def test_names_the_scm_refuses_are_not_created(wine, make_launcher, services):
    # No name configured, and a name with a backslash.
    exe = make_launcher({})
    r = wine.run(exe, "/install")
    assert (r.rc, r.out) == (1, "Could not create service.\n")
    r = wine.run(exe, "/install", "vtl\\bad")
    assert (r.rc, r.out) == (1, "Could not create service.\n")
    # Nothing installed, so nothing is started: the install's result stands.
    r = wine.run(exe, "/install-and-start", "vtl\\bad")
    assert (r.rc, r.out) == (1, "Could not create service.\n")


def test_status_with_a_configuration_larger_than_its_buffer(wine, make_launcher, services):
    # A command of 6500 characters does not fit the 6000-byte buffer: the
    # state line is printed, then the error with the size the SCM wanted.
    name = services.name()
    exe = make_launcher({101: name})
    assert wine.run(exe, "/install").rc == 0
    services.set_path(name, "x" * 6500)
    r = wine.run(exe, "/status")
    assert r.rc == 1, r
    match = re.fullmatch(r"Not running\.\nCould not get config \(122, (\d+)\)\.\n", r.out)
    assert match and int(match.group(1)) > 6500, r


def test_accounts_the_scm_keeps(wine, make_launcher, services, tmp_path):
    """Each account kind is registered as given (Wine's SCM keeps the name,
    though it runs every service as its own user); a service with an
    account is never interactive, which the system allows only LocalSystem."""
    name = services.name()
    r = wine.run(make_launcher({101: name}), "/install")
    assert r.rc == 0, r
    assert services.config(name)["account"] == "LocalSystem"
    for index, account in enumerate(("NT AUTHORITY\\LocalService", "NT AUTHORITY\\NetworkService",
                                     f"NT SERVICE\\{name}", "LocalSystem")):
        exe = make_launcher({101: name, 179: account}, name=f"account{index}.exe")
        r = wine.run(exe, "/install")
        assert (r.rc, r.out) == (0, f"Service is already stopped.\nInstalled service '{name}'.\n"), (account, r)
        config = services.config(name)
        assert config["account"] == account
        assert config["type"] == ("0x110" if account == "LocalSystem" else "0x10"), account

    # A user account: its password only from a file, never printed.
    password = "pa$$ w0rd ä"
    secret = tmp_path / "secret.txt"
    secret.write_bytes(b"\xef\xbb\xbf" + password.encode() + b"\r\n")
    exe = make_launcher({101: name, 179: "NT AUTHORITY\\LocalService"}, name="user.exe")
    r = wine.run(exe, "/install", "--user", ".\\svcuser", "--password-file", winpath(secret))
    assert (r.rc, r.out) == (0, f"Service is already stopped.\nInstalled service '{name}'.\n"), r
    assert services.config(name)["account"] == ".\\svcuser"
    assert "pa$$" not in r.out + r.err

    # What cannot be used changes nothing: the registration above stays.
    missing = tmp_path / "missing.txt"
    r = wine.run(exe, "/install", "--user", ".\\other", "--password-file", winpath(missing))
    assert r.rc == 1 and r.out.startswith(f"Could not read the password file '{winpath(missing)}' (error 2)"), r
    empty = tmp_path / "empty.txt"
    empty.write_bytes(b"\r\nsecond line")
    r = wine.run(exe, "/install", "--user", ".\\other", "--password-file", winpath(empty))
    assert r.rc == 1 and "holds no usable password" in r.out and "second line" not in r.out, r
    r = wine.run(exe, "/install", "--password-file", winpath(secret))
    assert (r.rc, r.out) == (1, "Could not install: --password-file needs --user.\n"), r
    r = wine.run(make_launcher({101: name, 179: "Administrator"}, name="bad.exe"), "/install")
    assert r.rc == 1 and r.out.startswith('Could not install: service.account "Administrator" is not '), r
    assert services.config(name)["account"] == ".\\svcuser"


def test_start_types_and_recovery_actions_with_what_wine_refuses(wine, make_launcher, services):
    """Wine refuses the delayed automatic start and the failure-actions flag
    with error 124, and accepts the recovery actions only to drop them: each
    is a warning, and the service is installed all the same."""
    name = services.name()
    delayed = "Warning: the system refused the delayed automatic start (error 124); the service starts " \
              "automatically without delay.\n"
    rows = (({178: "delayed-auto"}, "/install", "2", delayed),
            ({178: "auto"}, "/install", "2", ""),
            ({178: "demand", 107: "4"}, "/install", "3", ""),
            ({178: "delayed-auto"}, "/install-auto", "2", delayed),
            ({178: "delayed-auto"}, "/install-demand", "3", ""),
            ({107: "4"}, "/install", "2", ""))
    for index, (config, word, start, warning) in enumerate(rows):
        exe = make_launcher({101: name, **config}, name=f"start{index}.exe")
        r = wine.run(exe, word)
        prefix = "" if index == 0 else "Service is already stopped.\n"
        assert (r.rc, r.out) == (0, f"{prefix}Installed service '{name}'.\n{warning}"), (config, word, r)
        assert services.config(name)["start"] == start, (config, word)

    exe = make_launcher({101: name, 176: "restart 60;restart 300;none", 177: "3600"}, name="recovery.exe")
    r = wine.run(exe, "/install")
    assert r.rc == 0, r
    assert r.out == (f"Service is already stopped.\nInstalled service '{name}'.\n"
                     "Warning: the system did not keep the recovery actions (error 124).\n"
                     "Warning: the system refused to run the recovery actions when the application fails (error "
                     "124); they run only when the service process itself ends unexpectedly.\n")
    r = wine.run(exe, "/status")
    assert (r.rc, r.out) == (3, "Not running.\n")

    # A value the launcher cannot register is refused before anything changes.
    for config, problem in (({178: "sometimes"}, 'service.start "sometimes" is not auto, delayed-auto or demand'),
                            ({176: "reboot 5"},
                             'service.on_failure: "reboot 5" is not "restart N" (N seconds, 0 to 86400) or "none"')):
        r = wine.run(make_launcher({101: name, **config}, name="refused.exe"), "/install")
        assert (r.rc, r.out) == (1, f"Could not install: {problem}.\n"), r
        assert services.config(name)["path"].endswith('recovery.exe"')
