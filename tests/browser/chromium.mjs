// Debian's Chromium under puppeteer-core: headless, offline, in a fresh profile.
import puppeteer from 'puppeteer-core';

export async function launchChromium(profileDir) {
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    // The inbox's certificate comes from a CA made at test time.
    acceptInsecureCerts: true,
    userDataDir: profileDir,
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
    ],
  });
}

// Posts a form-encoded note from inside the page, as any other client would.
export async function sendNote(page, token, message) {
  return page.evaluate(async (token, message) => {
    const response = await fetch('/api/notify', {
      method: 'POST',
      headers: {
        Authorization: `Bearer ${token}`,
        'Content-Type': 'application/x-www-form-urlencoded',
      },
      body: 'message=' + encodeURIComponent(message),
    });
    return response.status;
  }, token, message);
}
