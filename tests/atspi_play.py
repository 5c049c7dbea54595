#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Plays one question of Quorvel through the accessibility bus alone.

Runs the game (argv[1]) in its folder, dumps its accessible tree and fails on an
interactive control without a name, starts a new game through the menu item's
action, presses an answer button through its action and checks that the name
and text events the screen reader hears carry the question and the result.
"""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

GAME = sys.argv[1]
INTERACTIVE = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_MENU,
               pyatspi.ROLE_TEXT, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_ENTRY}
heard = []  # (event type, text)
failures = []


def on_event(event):
    text = ""
    if event.type.startswith("object:text-changed"):
        text = str(event.any_data or "")
    elif event.type.startswith("object:property-change:accessible-name"):
        try:
            text = event.source.name or ""
        except Exception:  # the control is gone already
            text = ""
    elif event.type.startswith("window:") or event.type.startswith("object:announcement"):
        text = event.source.name if event.source else ""
    heard.append((event.type, text))


def find_app(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == name:
            return app
    return None


def walk(node, depth=0, out=None):
    if out is None:
        out = []
    try:
        role = node.getRole()
        name = node.name
        states = node.getState()
    except Exception:
        return out
    out.append((depth, node, role, name, states))
    for child in node:
        if child is not None:
            walk(child, depth + 1, out)
    return out


def pump(seconds):
    ctx = GLib.MainContext.default()
    end = time.time() + seconds
    while time.time() < end:
        while ctx.iteration(False):
            pass
        time.sleep(0.02)


def wait_for(predicate, seconds, what):
    end = time.time() + seconds
    while time.time() < end:
        pump(0.1)
        found = predicate()
        if found:
            return found
    failures.append("timed out waiting for " + what)
    return None


def main():
    for ev in ("object:text-changed", "object:property-change:accessible-name",
               "window:activate", "window:create", "object:announcement"):
        pyatspi.Registry.registerEventListener(on_event, ev)
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    game = subprocess.Popen([os.path.join(GAME, "quorvel")], cwd=GAME, env=env)
    try:
        app = wait_for(lambda: find_app("quorvel"), 30, "the game on the bus")
        if not app:
            return 1
        main_window = wait_for(
            lambda: next((n for d, n, r, nm, s in walk(app)
                          if r == pyatspi.ROLE_TEXT and "Добро пожаловать" in (nm or "")), None),
            30, "the greeting")
        pump(1.0)
        tree = walk(app)
        print("accessible tree:")
        for depth, node, role, name, states in tree:
            print("  " * depth + "%s %r" % (node.getRoleName(), name))
        unnamed = [node.getRoleName() for d, node, role, name, states in tree
                   if role in INTERACTIVE and not (name or "").strip()
                   and not (role == pyatspi.ROLE_MENU_ITEM and node.childCount == 0
                            and states.contains(pyatspi.STATE_INVISIBLE))]
        if unnamed:
            failures.append("interactive controls without a name: %s" % unnamed)

        new_game = next((n for d, n, r, nm, s in tree
                         if r == pyatspi.ROLE_MENU_ITEM and nm == "Новая игра"), None)
        if not new_game:
            failures.append("no menu item 'Новая игра'")
            return 1
        new_game.queryAction().doAction(0)

        def answer_buttons():
            found = [n for d, n, r, nm, s in walk(app)
                     if r == pyatspi.ROLE_PUSH_BUTTON and (nm or "").startswith("A: ")
                     and s.contains(pyatspi.STATE_SHOWING)]
            return found[0] if found else None

        button = wait_for(answer_buttons, 30, "the answer buttons")
        if not button:
            return 1
        question = next((nm for d, n, r, nm, s in walk(app)
                         if r == pyatspi.ROLE_TEXT and nm and "?" in nm), None)
        heading = next((nm for d, n, r, nm, s in walk(app)
                        if r == pyatspi.ROLE_LABEL and nm and "на кону" in nm), None)
        print("question:", question, "| heading:", heading, "| answer:", button.name)
        if not question or not any(question in t for e, t in heard):
            failures.append("no event carried the question")
        if not heading or not any(heading in t for e, t in heard):
            failures.append("no event carried the heading")
        if not any(t.startswith("A: ") for e, t in heard):
            failures.append("no event carried an answer caption")
        button.queryAction().doAction(0)
        results = ("Ответ принят", "Поздравляю", "проиграли", "ПОРАЖЕНИЕ", "Вы выграли")
        wait_for(lambda: any(any(r in t for r in results) for e, t in heard
                             if "Ответ принят" not in t), 60, "the result")
        if not any("Желаю победы!" in t for e, t in heard):
            failures.append("the announcement of a new game was not heard")
        print("heard:")
        for e, t in heard:
            print("  %s: %s" % (e, t.replace("\n", " / ")))
    finally:
        game.kill()
        game.wait()
    return 1 if failures else 0


if __name__ == "__main__":
    code = main()
    for f in failures:
        print("FAIL:", f)
    print("PASS" if not code and not failures else "FAILED")
    sys.exit(1 if failures or code else 0)
