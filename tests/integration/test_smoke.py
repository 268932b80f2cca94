"""The packed launcher starts, reads its block and answers /help."""


def test_help_prints_usage_line(wine, make_launcher):
    exe = make_launcher({101: "svc"}, name="myapp.exe")
    r = wine.run(exe, "/help")
    assert r.rc == 0
    assert r.out == "Usage: myapp.exe /install | /uninstall | /stop | /start | /status | /run | /run-redirect\n"
