'use strict';
// The inbox page: lists the notes, newest first, and adds each new one as the
// service announces it. Every text from a note goes in as text, never as HTML.

const listElement = document.getElementById('notes');
const emptyElement = document.getElementById('empty');
const countElement = document.getElementById('count');
const searchElement = document.getElementById('search');
const connectionElement = document.getElementById('connection');
const chaosElement = document.getElementById('chaos');
const alertsElement = document.getElementById('alerts');
const shown = new Map(); // note id -> its list item
const ALERTS_KEY = 'pushnote-inbox-alerts';

function element(tag, className, text) {
  const made = document.createElement(tag);
  if (className) made.className = className;
  if (text !== undefined) made.textContent = text;
  return made;
}

function answerText(answer) {
  if (answer.status === 0) return 'no answer (silent)';
  return answer.chaos ? `${answer.status} (${answer.chaos})` : String(answer.status);
}

function noteItem(note) {
  const item = element('li', 'note');
  item.dataset.id = note.id;
  item.dataset.text = note.message.toLowerCase();
  if (note.image) {
    const link = element('a', 'thumb');
    link.href = note.image.url;
    link.target = '_blank';
    link.rel = 'noopener';
    const image = element('img');
    image.loading = 'lazy';
    image.src = note.image.url;
    image.alt = `${note.image.type} ${note.image.width}×${note.image.height}`;
    link.append(image);
    item.append(link);
  }
  const body = element('div', 'body');
  body.append(element('p', 'message', note.message));
  const meta = element('div', 'meta');
  meta.append(element('time', '', new Date(note.received).toLocaleString()));
  const token = element('span', '', note.token_name ? `token ${note.token_name} ` : 'token ');
  token.append(element('code', '', note.token));
  meta.append(token);
  const answer = element('span', 'answer', `answered ${answerText(note.answer)}`);
  if (note.answer.status !== 200) answer.classList.add('failed');
  meta.append(answer);
  if (note.image) {
    const kib = (note.image.bytes / 1024).toFixed(1);
    meta.append(element('span', '', `${note.image.type} ${note.image.width}×${note.image.height}, ${kib} KiB`));
  }
  if (note.message_repaired) meta.append(element('span', 'flag', 'invalid UTF-8 replaced'));
  meta.append(element('span', '', note.user_agent));
  body.append(meta);
  const deliveries = element('ul', 'deliveries');
  item.dataset.received = String(Date.parse(note.received));
  for (const delivery of note.deliveries || []) deliveries.append(deliveryItem(delivery, item));
  body.append(deliveries);
  item.append(body);
  return item;
}

// Where a note went: delivered (after how long), retrying (the last answer,
// the attempt, the next try), queued, or failed, with a way to try again.
function deliveryItem(delivery, noteItemElement) {
  const row = element('li', `delivery ${delivery.state}`);
  row.dataset.id = delivery.id;
  row.append(element('code', '', delivery.destination));
  let state;
  if (delivery.state === 'delivered') {
    const after = delivery.delivered_ms - Number(noteItemElement.dataset.received);
    state = `delivered after ${Math.max(0, after)} ms`;
  } else if (delivery.state === 'failed') {
    state = `failed: ${delivery.last_answer}`;
  } else if (delivery.attempts > 0) {
    const next = new Date(delivery.next_attempt_ms).toLocaleTimeString();
    state = `retrying: ${delivery.last_answer}, attempt ${delivery.attempts}, next try at ${next}`;
    row.classList.add('retrying');
  } else {
    state = 'queued';
  }
  row.append(element('span', 'state', state));
  if (delivery.state === 'failed') {
    const retry = element('button', 'retry', 'Retry');
    retry.type = 'button';
    retry.addEventListener('click', () => {
      retry.disabled = true;
      fetch(`/api/notes/${delivery.note_id}/redeliver`, {
        method: 'POST', headers: { 'X-PushNote-Inbox': '1' } });
    });
    row.append(retry);
  }
  return row;
}

function updateDelivery(delivery) {
  const item = shown.get(delivery.note_id);
  if (!item) return;
  const list = item.querySelector('.deliveries');
  const row = deliveryItem(delivery, item);
  const old = list.querySelector(`.delivery[data-id="${Number(delivery.id)}"]`);
  if (old) old.replaceWith(row);
  else list.append(row);
}

// Desktop notifications, once the user agreed, while the page is open.
function alertsOn() {
  return alertsElement.getAttribute('aria-pressed') === 'true';
}

function setAlerts(on) {
  alertsElement.setAttribute('aria-pressed', String(on));
  alertsElement.classList.toggle('on', on);
  localStorage.setItem(ALERTS_KEY, on ? 'on' : 'off');
}

function announce(note) {
  if (!alertsOn() || Notification.permission !== 'granted') return;
  const lines = note.message.trim().split('\n');
  const title = lines[0].slice(0, 70) || 'New note';
  const body = lines.slice(1).join('\n').trim().slice(0, 200);
  const shownAlert = new Notification(title, { body, tag: String(note.id) });
  shownAlert.onclick = () => {
    window.focus();
    shown.get(note.id)?.scrollIntoView({ block: 'center' });
  };
}

if ('Notification' in window) {
  alertsElement.hidden = false;
  setAlerts(localStorage.getItem(ALERTS_KEY) === 'on' && Notification.permission === 'granted');
  alertsElement.addEventListener('click', async () => {
    if (alertsOn()) return setAlerts(false);
    const permission = await Notification.requestPermission();
    setAlerts(permission === 'granted');
  });
}

function matches(item) {
  const query = searchElement.value.trim().toLowerCase();
  return !query || item.dataset.text.includes(query);
}

function updateCount() {
  const total = shown.size;
  countElement.textContent = total === 1 ? '1 note' : `${total} notes`;
  emptyElement.hidden = total !== 0;
}

function addNote(note, fresh) {
  if (shown.has(note.id)) return;
  const item = noteItem(note);
  item.hidden = !matches(item);
  if (fresh) item.classList.add('fresh');
  // Ids only grow: a newer note goes before the first older one.
  let next = listElement.firstElementChild;
  while (next && Number(next.dataset.id) > note.id) next = next.nextElementSibling;
  listElement.insertBefore(item, next);
  shown.set(note.id, item);
  updateCount();
}

function clearNotes() {
  shown.clear();
  listElement.replaceChildren();
  updateCount();
}

function newestShown() {
  const first = listElement.firstElementChild;
  return first ? Number(first.dataset.id) : 0;
}

function oldestShown() {
  const last = listElement.lastElementChild;
  return last ? Number(last.dataset.id) : 0;
}

const PAGE = 1000;

// One answer: its notes, and the cursor to the rest when the answer's size
// or the limit cut it short.
async function fetchPage(query) {
  return (await fetch(`/api/notes?${new URLSearchParams(query)}`)).json();
}

async function fetchNotes(query) {
  return (await fetchPage(query)).notes;
}

// Every note with an id above `after`, newest first, a page at a time.
async function notesAfter(after) {
  const notes = [];
  const query = { limit: PAGE };
  if (after > 0) query.after = after;
  for (;;) {
    const page = await fetchPage(query);
    notes.push(...page.notes);
    if (!page.more) return notes;
    query.before = page.next_before;
  }
}

function markLoaded() {
  if (!document.body.dataset.loaded) {
    performance.mark('notes-shown');
    document.body.dataset.loaded = 'true';
  }
}

// The first load puts the newest page in at once.
async function loadNotes() {
  const notes = await fetchNotes({ limit: PAGE });
  const fragment = document.createDocumentFragment();
  for (const note of notes) {
    if (shown.has(note.id)) continue;
    const item = noteItem(note);
    item.hidden = !matches(item);
    shown.set(note.id, item);
    fragment.append(item);
  }
  listElement.append(fragment);
  updateCount();
  markLoaded();
}

// The notes that came between the first load and the stream's start.
async function addNewer() {
  for (const note of await notesAfter(newestShown())) addNote(note, false);
}

// After the stream was down, or fell too far behind to be told each change:
// every note since the oldest shown, however many pages, and none of those
// deleted meanwhile. A note newer than the newest shown when this started
// may have come by the stream since, and stays.
async function catchUp() {
  if (shown.size === 0) return loadNotes();
  const newestBefore = newestShown();
  const oldest = oldestShown();
  const notes = await notesAfter(oldest - 1);
  const current = new Set(notes.map((note) => note.id));
  for (const [id, item] of shown) {
    if (id <= newestBefore && !current.has(id)) {
      item.remove();
      shown.delete(id);
    }
  }
  for (const note of notes) addNote(note, false);
  updateCount();
  document.body.dataset.caughtUp = String(Number(document.body.dataset.caughtUp || 0) + 1);
}

function showChaos(settings) {
  const active = Object.entries(settings).filter(([, value]) => value !== 0 && value !== false);
  chaosElement.hidden = active.length === 0;
  chaosElement.textContent =
    'Chaos on: ' + active.map(([name, value]) => (value === true ? name : `${name}=${value}`)).join(', ');
}

function listen(firstLoad) {
  const events = new EventSource('/api/events');
  let opened = false;
  events.addEventListener('open', () => {
    connectionElement.textContent = 'live';
    connectionElement.classList.add('live');
    document.body.dataset.live = 'true';
    // Whatever arrived before the stream was open, or while it was down.
    firstLoad.then(opened ? catchUp : addNewer);
    opened = true;
    fetch('/api/chaos').then((response) => response.json()).then(showChaos);
  });
  events.addEventListener('error', () => {
    connectionElement.textContent = 'reconnecting';
    connectionElement.classList.remove('live');
    document.body.dataset.live = 'false';
  });
  events.addEventListener('note', (event) => {
    const note = JSON.parse(event.data);
    const isNew = !shown.has(note.id);
    addNote(note, true);
    if (isNew && 'Notification' in window) announce(note);
  });
  events.addEventListener('delivery', (event) => updateDelivery(JSON.parse(event.data)));
  events.addEventListener('clear', clearNotes);
  events.addEventListener('chaos', (event) => showChaos(JSON.parse(event.data)));
  events.addEventListener('reload', () => firstLoad.then(catchUp));
}

searchElement.addEventListener('input', () => {
  for (const item of shown.values()) item.hidden = !matches(item);
});

document.getElementById('clear').addEventListener('click', async () => {
  if (!window.confirm('Delete every note in the inbox?')) return;
  await fetch('/api/notes', { method: 'DELETE', headers: { 'X-PushNote-Inbox': '1' } });
  clearNotes();
});

listen(loadNotes());
