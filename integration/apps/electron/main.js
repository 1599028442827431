// The Electron application of the end-to-end run: one window showing the
// harness's text page, so that Electron's own build of Chromium, which ships
// with every Electron app rather than with the system, is tried as a text
// system of its own. The page reports to the harness itself; this process
// only opens it.
//
//   electron . --url=URL
'use strict';

const { app, BrowserWindow } = require('electron');

const urlPrefix = '--url=';

function urlArgument() {
  const argument = process.argv.find((value) => value.startsWith(urlPrefix));
  if (argument === undefined) {
    return null;
  }
  try {
    return new URL(argument.slice(urlPrefix.length)).href;
  } catch {
    return null;
  }
}

const url = urlArgument();
if (url === null) {
  process.stderr.write('usage: electron . --url=URL\n');
  process.exit(2);
}

// Electron's default application menu stays: its Edit menu is what gives
// the window Command-C, Command-V and Command-A.
app.on('window-all-closed', () => app.quit());

app.whenReady().then(() => {
  const window = new BrowserWindow({ width: 800, height: 500, show: true });
  window.loadURL(url);
  // Started from a command line, the app would otherwise stay behind the
  // application that started it.
  app.focus({ steal: true });
  window.focus();
});
