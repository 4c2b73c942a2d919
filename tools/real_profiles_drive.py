#!/usr/bin/env python3
"""Drives a real browser once so that it writes a lived-in profile.

Used by tools/make_real_profiles.sh, which runs it inside a private mount and
network namespace with HOME=/home/user. The browser is told what to do through
its own automation channel (Marionette for Firefox, the DevTools pipe for
Chromium) and is always asked to quit, so that it closes its databases itself.

  real_profiles_drive.py firefox  -- firefox-esr [args...]
  real_profiles_drive.py chromium [--extension DIR] [--profile-name NAME] -- chromium [args...]

Every page it opens comes from a small server on 127.0.0.1:PAGE_PORT that this
script runs; the namespace has no other network.
"""

import argparse
import http.server
import json
import os
import socket
import subprocess
import sys
import threading
import time

PAGE_PORT = 8000
PAGE_URL = f"http://127.0.0.1:{PAGE_PORT}/"
PAGE = b"""<!doctype html>
<html><head><meta charset="utf-8"><title>Kelvora fixture page</title>
<link rel="icon" href="/favicon.png"></head>
<body><p>A page visited while the fixture profiles were made.</p>
<script>
document.cookie = "fixture=1; max-age=31536000; path=/";
localStorage.setItem("fixture", "1");
</script></body></html>
"""
# 1x1 transparent PNG, so both browsers store a favicon for the page.
FAVICON = bytes.fromhex(
    "89504e470d0a1a0a0000000d4948445200000001000000010806000000"
    "1f15c4890000000b49444154789c6360000200000500017a5eab3f0000"
    "000049454e44ae426082")


class PageHandler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        if self.path == "/favicon.png":
            body, kind = FAVICON, "image/png"
        else:
            body, kind = PAGE, "text/html; charset=utf-8"
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def serve_pages():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", PAGE_PORT), PageHandler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


# --- Firefox -----------------------------------------------------------------

MARIONETTE_PORT = 2828

FIREFOX_FILL = r"""
const [done] = arguments;
(async () => {
  const { PlacesUtils } = ChromeUtils.importESModule(
    "resource://gre/modules/PlacesUtils.sys.mjs");
  const { FormHistory } = ChromeUtils.importESModule(
    "resource://gre/modules/FormHistory.sys.mjs");
  const url = "https://www.example.org/welcome";
  await PlacesUtils.history.insert({
    url, title: "Example welcome page", visits: [{ date: new Date() }] });
  await PlacesUtils.bookmarks.insert({
    parentGuid: PlacesUtils.bookmarks.toolbarGuid, url, title: "Example welcome page" });
  await FormHistory.update({ op: "add", fieldname: "q", value: "kelvora fixture" });
  const login = Cc["@mozilla.org/login-manager/loginInfo;1"]
    .createInstance(Ci.nsILoginInfo);
  login.init("https://www.example.org", "https://www.example.org", null,
             "fixture-user", "not-a-real-password", "user", "pass");
  await Services.logins.addLoginAsync(login);
  Services.perms.addFromPrincipal(
    Services.scriptSecurityManager.createContentPrincipalFromOrigin(url),
    "desktop-notification", Services.perms.ALLOW_ACTION);
  done("ok");
})().catch(e => done("error: " + e + "\n" + e.stack));
"""


FIREFOX_UNDO_AUTOMATION_PREFS = r"""
const { RecommendedPreferences } = ChromeUtils.importESModule(
  "chrome://remote/content/shared/RecommendedPreferences.sys.mjs");
RecommendedPreferences.restoreAllPreferences();
"""


class Marionette:
    def __init__(self, deadline):
        while True:
            try:
                self.sock = socket.create_connection(("127.0.0.1", MARIONETTE_PORT), timeout=60)
                break
            except OSError:
                if time.time() > deadline:
                    raise
                time.sleep(0.5)
        self.buf = b""
        self.msgid = 0
        self._read()  # the server's greeting

    def _read(self):
        while b":" not in self.buf:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise EOFError("Marionette closed the connection")
            self.buf += chunk
        length, rest = self.buf.split(b":", 1)
        length = int(length)
        while len(rest) < length:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise EOFError("Marionette closed the connection")
            rest += chunk
        self.buf = rest[length:]
        return json.loads(rest[:length])

    def call(self, name, params=None):
        self.msgid += 1
        data = json.dumps([0, self.msgid, name, params or {}]).encode()
        self.sock.sendall(str(len(data)).encode() + b":" + data)
        while True:
            reply = self._read()
            if reply[0] == 1 and reply[1] == self.msgid:
                if reply[2]:
                    raise RuntimeError(f"{name}: {reply[2]}")
                return reply[3]


def drive_firefox(command):
    browser = subprocess.Popen(command + ["--marionette", "--remote-allow-system-access"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        m = Marionette(time.time() + 90)
        m.call("WebDriver:NewSession", {"capabilities": {}})
        m.call("WebDriver:Navigate", {"url": PAGE_URL})
        m.call("Marionette:SetContext", {"value": "chrome"})
        result = m.call("WebDriver:ExecuteAsyncScript",
                        {"script": FIREFOX_FILL, "args": [], "scriptTimeout": 60000})
        if result.get("value") != "ok":
            raise RuntimeError(f"filling the Firefox profile failed: {result}")
        time.sleep(3)  # let the session store write a checkpoint with the open tab
        # Marionette set its automation preferences as user values; it clears
        # them only after prefs.js has been written at shutdown, so clear them
        # now to leave the prefs.js of an ordinary session.
        m.call("WebDriver:ExecuteScript", {"script": FIREFOX_UNDO_AUTOMATION_PREFS, "args": []})
        try:
            m.call("Marionette:Quit", {"flags": ["eAttemptQuit"]})
        except EOFError:
            pass
        return browser.wait(timeout=120)
    finally:
        if browser.poll() is None:
            browser.terminate()
            browser.wait(timeout=30)


# --- Chromium ----------------------------------------------------------------

class DevToolsPipe:
    """The DevTools protocol over --remote-debugging-pipe (fds 3 and 4)."""

    def __init__(self, command):
        to_browser_r, to_browser_w = os.pipe()
        from_browser_r, from_browser_w = os.pipe()
        # Park the browser's ends on high numbers first so that moving them to
        # 3 and 4 in the child cannot overwrite one with the other.
        os.dup2(to_browser_r, 100)
        os.dup2(from_browser_w, 101)
        for fd in (to_browser_r, from_browser_w):
            os.close(fd)

        def child_fds():
            os.dup2(100, 3)
            os.dup2(101, 4)

        self.process = subprocess.Popen(command + ["--remote-debugging-pipe"],
                                        preexec_fn=child_fds, pass_fds=(3, 4, 100, 101),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(100)
        os.close(101)
        self.out = os.fdopen(to_browser_w, "wb", buffering=0)
        self.inp = os.fdopen(from_browser_r, "rb", buffering=0)
        self.buf = b""
        self.next_id = 0
        self.events = []

    def _read(self):
        while b"\0" not in self.buf:
            chunk = self.inp.read(65536)
            if not chunk:
                raise EOFError("the browser closed the DevTools pipe")
            self.buf += chunk
        message, self.buf = self.buf.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        self.out.write(json.dumps(message).encode() + b"\0")
        while True:
            reply = self._read()
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply.get("result", {})
            self.events.append(reply)

    def wait_event(self, method, session, timeout):
        deadline = time.time() + timeout
        while time.time() < deadline:
            for i, event in enumerate(self.events):
                if event.get("method") == method and event.get("sessionId") == session:
                    del self.events[i]
                    return event
            self.events.append(self._read())
        raise TimeoutError(method)


def open_page(pipe, url):
    target = pipe.call("Target.createTarget", {"url": "about:blank"})["targetId"]
    session = pipe.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
    pipe.call("Page.enable", session=session)
    pipe.call("Page.navigate", {"url": url}, session=session)
    pipe.wait_event("Page.loadEventFired", session, 60)
    return session


def drive_chromium(command, extension, profile_name):
    if extension:
        command = command + ["--enable-unsafe-extension-debugging"]
    pipe = DevToolsPipe(command)
    try:
        if extension:
            pipe.call("Extensions.loadUnpacked", {"path": extension})
            time.sleep(3)  # the extension's worker adds its bookmark and storage
        session = open_page(pipe, PAGE_URL)
        title = pipe.call("Runtime.evaluate", {"expression": "document.title"},
                          session=session)["result"]["value"]
        if title != "Kelvora fixture page":
            raise RuntimeError(f"unexpected page title {title!r}")
        if profile_name:
            # The same call the profile settings page makes when a person
            # renames the profile.
            settings = open_page(pipe, "chrome://settings/manageProfile")
            pipe.call("Runtime.evaluate",
                      {"expression": f"chrome.send('setProfileName', [{json.dumps(profile_name)}])"},
                      session=settings)
        time.sleep(5)  # let the history and session writers commit
        try:
            pipe.call("Browser.close")
        except EOFError:
            pass
        return pipe.process.wait(timeout=120)
    finally:
        if pipe.process.poll() is None:
            pipe.process.terminate()
            pipe.process.wait(timeout=30)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("browser", choices=["firefox", "chromium"])
    parser.add_argument("--extension")
    parser.add_argument("--profile-name")
    argv = sys.argv[1:]
    if "--" not in argv or argv.index("--") == len(argv) - 1:
        parser.error("give the browser command after --")
    split = argv.index("--")
    args = parser.parse_args(argv[:split])
    command = argv[split + 1:]

    serve_pages()
    if args.browser == "firefox":
        status = drive_firefox(command)
    else:
        status = drive_chromium(command, args.extension, args.profile_name)
    if status != 0:
        sys.exit(f"{command[0]} exited with status {status}")


if __name__ == "__main__":
    main()
