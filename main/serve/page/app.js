// The live page of a vxlog run: one WebSocket brings the run, its meters,
// the figures and the recent readings, then every reading as it is taken.
// The page only reads: nothing here sends anything to vxlog or the meter.
'use strict';

(function () {
  const kRowsKept = 4000;          // readings the plot holds
  const kWindowMs = 5 * 60 * 1000; // the plot shows the last five minutes
  const kRetryMs = 2000;

  const token = new URLSearchParams(location.search).get('token');
  const page = { run: null, meters: [], stats: [], rows: [], latest: null, chosen: 0,
                 graph: null, ended: false };
  const byId = (id) => document.getElementById(id);

  function element(tag, className, text) {
    const e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  function number(v) {
    if (v === null || v === undefined) return '\u2013';
    return String(Number(v.toPrecision(7)));
  }

  // A channel's latest value: the number, or what the meter said instead
  // (an overload), or a dash where it gave nothing.
  function valueText(reading, i) {
    if (!reading) return '\u2013';
    const v = reading.values[i];
    if (v !== null && v !== undefined) return number(v);
    return reading.texts[i] || '\u2013';
  }

  // 14:05:09, whatever the browser's language.
  function clock(when) {
    const d = when instanceof Date ? when : new Date(when);
    return [d.getHours(), d.getMinutes(), d.getSeconds()]
      .map((n) => String(n).padStart(2, '0')).join(':');
  }

  function setLink(state, text) {
    const e = byId('link');
    e.dataset.state = state;
    e.textContent = text;
  }

  function channelTitle(c) {
    return c.unit ? c.name + ' (' + c.unit + ')' : c.name;
  }

  function rowOf(reading) {
    return [new Date(reading.t)].concat(reading.values.map((v) => (v === undefined ? null : v)));
  }

  function drawMeters() {
    const box = byId('meters');
    box.replaceChildren();
    page.meters.forEach((m, i) => {
      const card = element('div', 'meter');
      card.id = 'meter-' + i;
      const head = element('div', 'head');
      head.append(element('span', 'name', m.name), element('span', 'badge state'));
      card.append(head, element('div', 'port muted'), element('div', 'identity'),
                  element('div', 'reason'));
      box.append(card);
      drawMeter(i);
    });
  }

  function drawMeter(i) {
    const m = page.meters[i];
    const card = byId('meter-' + i);
    if (!m || !card) return;
    card.dataset.state = m.state;
    const badge = card.querySelector('.state');
    badge.dataset.state = m.state;
    badge.textContent = m.state;
    card.querySelector('.port').textContent = m.port;
    card.querySelector('.identity').textContent = m.identity || 'not identified yet';
    card.querySelector('.reason').textContent = m.state === 'connected' ? '' : m.reason;
  }

  function drawTable() {
    const body = byId('channels').tBodies[0];
    body.replaceChildren();
    page.run.channels.forEach((c, i) => {
      const tr = element('tr');
      tr.id = 'channel-' + i;
      tr.append(element('td', 'name', channelTitle(c)));
      for (let k = 0; k < 5; ++k) tr.append(element('td'));
      tr.addEventListener('click', () => choose(i));
      body.append(tr);
    });
    drawFigures();
  }

  function drawFigures() {
    page.run.channels.forEach((c, i) => {
      const tr = byId('channel-' + i);
      const s = page.stats[i] || { count: 0, min: null, max: null, mean: null };
      const cells = tr.cells;
      cells[1].textContent = valueText(page.latest, i);
      cells[2].textContent = number(s.min);
      cells[3].textContent = number(s.max);
      cells[4].textContent = number(s.mean);
      cells[5].textContent = String(s.count);
      tr.setAttribute('aria-selected', i === page.chosen ? 'true' : 'false');
      const missing = page.latest && page.latest.missing[i];
      tr.title = missing || '';
    });
    const c = page.run.channels[page.chosen];
    if (!c) return;
    byId('focus-name').textContent = c.name;
    byId('focus-function').textContent = c.function;
    byId('latest').textContent = valueText(page.latest, page.chosen);
    byId('latest-unit').textContent = c.unit;
    const missing = page.latest && page.latest.missing[page.chosen];
    byId('latest-time').textContent = page.latest
      ? (missing ? missing : clock(page.latest.t))
      : 'no reading yet';
    byId('seq').textContent = page.latest ? 'Reading ' + page.latest.seq + '.' : '';
  }

  function drawPlot() {
    const plot = byId('plot');
    plot.dataset.rows = String(page.rows.length);
    if (!page.run || typeof Dygraph === 'undefined') return;
    const labels = ['time'].concat(page.run.channels.map(channelTitle));
    const visibility = page.run.channels.map((_, i) => i === page.chosen);
    if (page.rows.length === 0) return;
    const last = page.rows[page.rows.length - 1][0].getTime();
    const first = page.rows[0][0].getTime();
    const window = last - first > kWindowMs ? [last - kWindowMs, last] : null;
    const options = { file: page.rows, labels: labels, visibility: visibility, dateWindow: window };
    if (!page.graph) {
      page.graph = new Dygraph(plot, page.rows, {
        labels: labels, visibility: visibility, dateWindow: window, drawPoints: false,
        strokeWidth: 1.5, colors: ['#0b5cad'], legend: 'follow', labelsUTC: false,
        axes: {
          x: { axisLabelFormatter: clock, valueFormatter: clock, axisLabelWidth: 70 },
          y: { axisLabelWidth: 80, axisLabelFormatter: number, valueFormatter: number },
        },
        ylabel: channelTitle(page.run.channels[page.chosen]),
      });
    } else {
      options.ylabel = channelTitle(page.run.channels[page.chosen]);
      page.graph.updateOptions(options);
    }
  }

  function choose(i) {
    page.chosen = i;
    drawFigures();
    drawPlot();
  }

  function handle(message) {
    switch (message.type) {
      case 'hello':
        page.ended = false;
        page.run = message.run;
        page.meters = message.meters;
        page.stats = message.stats;
        page.rows = message.history.map(rowOf);
        page.latest = message.history.length ? message.history[message.history.length - 1] : null;
        if (page.chosen >= page.run.channels.length) page.chosen = 0;
        drawMeters();
        drawTable();
        drawPlot();
        break;
      case 'reading':
        page.latest = message.reading;
        page.stats = message.stats;
        page.rows.push(rowOf(message.reading));
        if (page.rows.length > kRowsKept) page.rows.splice(0, page.rows.length - kRowsKept);
        drawFigures();
        drawPlot();
        break;
      case 'meter':
        page.meters[message.index] = message.meter;
        drawMeter(message.index);
        break;
    }
  }

  function connect() {
    const scheme = location.protocol === 'https:' ? 'wss://' : 'ws://';
    const query = token ? '?token=' + encodeURIComponent(token) : '';
    const socket = new WebSocket(scheme + location.host + '/ws' + query);
    socket.onopen = () => setLink('live', 'live');
    socket.onmessage = (event) => handle(JSON.parse(event.data));
    socket.onclose = (event) => {
      if (event.code === 1001) page.ended = true;
      if (page.ended) setLink('ended', 'run ended');
      else setLink('retrying', 'no connection, retrying');
      setTimeout(connect, kRetryMs);
    };
  }

  connect();
})();
